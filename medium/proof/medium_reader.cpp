// What verify-medium reads of a medium, someone else's, read once into typed values and held to
// what make-medium writes. Each command says its verdict itself, on standard error, and ends with
// verify-medium's exit status (1 different, 2 cannot tell); 0 when the medium holds so far. What
// verify-medium needs to go on is on standard output.
//   medium_reader image IMAGE WORK           reads the image in both trees of names: only folders
//                                            and files, no control character in a name, its record
//                                            where Linux reads it, and takes it into WORK; WORK/
//                                            image-time: the creation time the image states
//   medium_reader tree TREE WORK             takes build-record.txt into WORK
//   medium_reader root MEDIUM WORK image|tree NAME...   the root holds NAME... alone, each once in
//                                            any case; Project1.exe and autorun.inf taken into
//                                            WORK; a tree's languages read as make-medium reads a
//                                            vendor's folder, within a disc's bytes
//   medium_reader extract IMAGE TREE         every file of the image into TREE, files that share an
//                                            extent linked
//   medium_reader families IMAGE FAMILIES    each language's folder held to make-medium's rules; the
//                                            files of one content in FAMILIES, as clones for xorriso
//                                            (families.cpp)
//   medium_reader record RECORD              the record, by its grammar: its values (record_values.cpp)
// The commands that read the record take first --record HEADING UNCOMMITTED: the record's fixed
// texts, as make-medium writes them.
//   medium_reader sums MEDIUM WORK image|tree   against the SHA256SUMS beside it: what that proves
//   medium_reader signature LAUNCHER [CERT]  who signed it, and whether that holds: its words, exit 0;
//                                            exit 3 when it is not signed
//   medium_reader mastering RECORD VERSIONS here|fresh PATTERN...   the recorded mastering tool
//                                            against the rebuild's system's (dpkg's VERSIONS)
//   medium_reader toolchain RECORD VERSIONS PACKAGE...   which recorded versions the rebuild lacks
//   medium_reader compare A B WHAT           different, saying WHAT and where, unless A is B byte for byte

#include "reader_commands.h"
#include "shown.h"
#include "verdict.h"

#include <clocale>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace proof;
    // Windows compares names in any case: the upcasing of the whole of Unicode, not only ASCII.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        std::fprintf(stderr, "medium_reader: this system has no C.UTF-8 locale\n");
        return 4;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    RecordTexts texts;
    if (args.size() > 3 && args[0] == "--record") {
        texts = {args[1], args[2]};
        args.erase(args.begin(), args.begin() + 3);
    }
    const std::size_t n = args.size();
    const std::string command = n ? args[0] : "";
    const auto rest = [&](std::size_t from) { return std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(from), args.end()); };
    try {
        if (command == "image" && n == 3)
            return ReadImage(args[1], args[2]);
        if (command == "tree" && n == 3)
            return ReadTree(args[1], args[2]);
        if (command == "root" && n >= 4 && (args[3] == "image" || args[3] == "tree"))
            return ReadMediumRoot(args[1], args[2], args[3] == "image", rest(4));
        if (command == "extract" && n == 3)
            return Extract(args[1], args[2]);
        if (command == "families" && n == 3)
            return Families(args[1], args[2]);
        if (command == "record" && n == 2)
            return Record(args[1], texts);
        if (command == "sums" && n == 4 && (args[3] == "image" || args[3] == "tree"))
            return PublishedSums(args[1], args[2], args[3] == "image");
        if (command == "signature" && (n == 2 || n == 3))
            return Signature(args[1], n == 3 ? args[2] : "");
        if (command == "mastering" && n >= 4 && (args[3] == "here" || args[3] == "fresh"))
            return Mastering(args[1], texts, args[2], args[3], rest(4));
        if (command == "toolchain" && n >= 3)
            return Toolchain(args[1], texts, args[2], rest(3));
        if (command == "compare" && n == 4)
            return Compare(args[1], args[2], args[3]);
    } catch (const std::exception& e) {
        CannotTell("the medium could not be read: " + medium::Shown(e.what()));
    }
    std::fprintf(stderr, "usage: medium_reader image|tree|root|extract|families|record|sums|signature|mastering|toolchain|compare ...\n");
    return 4;
}
