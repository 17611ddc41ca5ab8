// What make-medium does with the files of a medium that it does not write itself.
//   medium_files check LANGUAGE=PATH...      reads each vendor's installer (a setup program, or a
//                                            folder whose top holds setup.exe) as Windows will meet
//                                            it; each rule broken is a line on stderr, "PATH:
//                                            RULE"; exits 1 when any is. Prints LANGUAGE and NAME,
//                                            each ended by a NUL, for each folder: the name of its
//                                            setup program
//   medium_files lay STAGE LANGUAGE=PATH...  lays them out as STAGE/LANGUAGE/...: each file a hard
//                                            link to the very file read (a copy where the file
//                                            system refuses the link); prints "SIZE<tab>FILE<tab>
//                                            PATH" for each, FILE the same for each link of a file
//   medium_files sum [--shared | --under NAME] STAGE   reads those lines and prints each
//                                            file's SHA-256 as sha256sum writes it, "SUM  PATH"
//                                            (NAME/PATH with --under); --shared: only of the files
//                                            whose size a file other than itself shares, the lines
//                                            sorted by size, then by file
//   medium_files sums-of TREE                prints each file's SHA-256 as sum does, walking TREE
//                                            (a medium's tree, someone else's): a name make-medium
//                                            would refuse, a link, a device, ... ends it, exit 1
//   medium_files store-once STAGE            reads "SUM  PATH" lines sorted by sum and makes each
//                                            file a link to the first of its content, so that the
//                                            image stores that content once
//   medium_files follow FILE PID BYTES [LABEL]   reads FILE as process PID writes it, to the end
//                                            once PID has ended, and prints its SHA-256; with
//                                            LABEL, shows how far it is of about BYTES (on a
//                                            terminal in place, in a log now and then)
// Nothing of a vendor's names reaches the terminal but as shown.h shows it.

#include "commands.h"
#include "shown.h"

#include <clocale>
#include <iostream>
#include <exception>

namespace {

using namespace medium;

std::vector<Installer> Installers(char** first, char** last)
{
    std::vector<Installer> installers;
    for (char** arg = first; arg != last; ++arg) {
        const std::string text = *arg;
        const auto equals = text.find('=');
        if (equals == std::string::npos || equals == 0)
            Fail("not LANGUAGE=PATH: " + Shown(text));
        installers.push_back({text.substr(0, equals), text.substr(equals + 1)});
    }
    return installers;
}

int Usage()
{
    std::cerr << "usage: medium_files check LANGUAGE=PATH... | lay STAGE LANGUAGE=PATH... | sum [--shared | --under NAME] STAGE"
                 " | sums-of TREE | store-once STAGE | follow FILE PID BYTES [LABEL]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Windows compares names in any case: the upcasing of the whole of Unicode, not only ASCII.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        std::cerr << "medium_files: this system has no C.UTF-8 locale\n";
        return 2;
    }
    const std::string command = argc > 1 ? argv[1] : "";
    const auto run = [&]() -> int {
        if (command == "check" && argc > 2)
            return Check(Installers(argv + 2, argv + argc));
        if (command == "lay" && argc > 3)
            return Lay(argv[2], Installers(argv + 3, argv + argc));
        if (command == "sum" && argc == 3)
            return Sum(argv[2], false, "");
        if (command == "sum" && argc == 4 && std::string(argv[2]) == "--shared")
            return Sum(argv[3], true, "");
        if (command == "sum" && argc == 5 && std::string(argv[2]) == "--under")
            return Sum(argv[4], false, std::string(argv[3]) + "/");
        if (command == "sums-of" && argc == 3)
            return SumsOf(argv[2]);
        if (command == "store-once" && argc == 3)
            return StoreOnce(argv[2]);
        if (command == "follow" && (argc == 5 || argc == 6))
            return Follow(argv[2], static_cast<pid_t>(std::stol(argv[3])), std::stoull(argv[4]), argc == 6 ? argv[5] : "");
        return Usage();
    };
    try {
        const int status = run();
        // What was printed is the result: lines lost to a full disk are a failure, not a shorter list.
        if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout.flush())
            Fail("standard output cannot be written: " + Why());
        return status;
    } catch (const std::exception& e) {
        std::cerr << "medium_files: " << e.what() << '\n';
        return 1;
    }
}
