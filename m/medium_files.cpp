// What make-medium does with the files of a medium that it does not write itself.
//   medium_files check LANGUAGE=PATH...        reads each vendor's installer (a setup program, or a
//                                              folder whose top holds setup.exe) as Windows will
//                                              meet it; each rule broken is a line on stderr,
//                                              "PATH: RULE"; exits 1 when any is. Prints
//                                              "LANGUAGE<tab>NAME" for each folder: the name of its
//                                              setup program
//   medium_files lay STAGE LANGUAGE=PATH...    lays them out as STAGE/LANGUAGE/...: each file a
//                                              hard link to the vendor's (a copy where the file
//                                              system refuses the link); prints "SHA-256  PATH" for
//                                              each file, as sha256sum writes it
//   medium_files store-once STAGE              reads those lines sorted by sum, and makes each file
//                                              of STAGE a link to the first of its content, so that
//                                              the image stores that content once
//   medium_files write FILE BYTES [LABEL]      copies standard input into FILE and prints its
//                                              SHA-256; with LABEL, shows how far it is (on a
//                                              terminal in place, in a log a line now and then)
// Nothing of a vendor's names reaches the terminal but as shown.h shows it.

#include "folder_walk.h"
#include "sha256.h"
#include "shown.h"
#include "windows_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace medium;

constexpr std::uint64_t fourGiB = std::uint64_t{1} << 32;
constexpr std::size_t bufferBytes = 1 << 20;

[[noreturn]] void Fail(const std::string& why)
{
    throw std::runtime_error(why);
}

std::string Why()
{
    return std::strerror(errno);
}

// LANGUAGE=PATH, as make-medium gives each installer.
struct Installer {
    std::string language, path;
};

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

bool IsSetupName(const std::string& name)
{
    const auto units = Utf16(name);
    return units && CaseKey(*units) == u"SETUP.EXE";
}

// What a file of a type other than a regular file or a folder is, in words.
std::string KindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "is a symbolic link, which could carry a file of this machine onto the medium: put the file itself in "
               "its place";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device, not a file";
    if (S_ISFIFO(mode))
        return "is a named pipe, not a file";
    if (S_ISSOCK(mode))
        return "is a socket, not a file";
    return "is neither a file nor a folder";
}

// --- check -----------------------------------------------------------------------------------

// Each rule broken, a line on stderr (once, though the same folder is given for each language);
// the first few only, then how many more.
class Problems {
public:
    void Add(const std::string& path, const std::string& rule)
    {
        const std::string line = Shown(path) + ": " + rule;
        if (std::find(shown_.begin(), shown_.end(), line) != shown_.end())
            return;
        if (++count_ <= shownAtMost) {
            std::cerr << line << '\n';
            shown_.push_back(line);
        }
    }
    int Count() const { return count_; }
    void End() const
    {
        if (count_ > shownAtMost)
            std::cerr << "and " << count_ - shownAtMost << " more\n";
    }

private:
    static constexpr int shownAtMost = 20;
    int count_ = 0;
    std::vector<std::string> shown_;
};

class Checker final : public Visitor {
public:
    Checker(const Installer& installer, Problems& problems) : installer_(installer), problems_(problems) {}

    // The name of the setup program at the top, when it is a file.
    const std::string& Setup() const { return setup_; }

    void Folder(const std::string& path, const std::vector<std::string>& names) override
    {
        // Two names that Windows reads as one: the second is refused.
        std::vector<std::pair<std::u16string, std::string>> keys;
        for (const std::string& name : names)
            if (const auto units = Utf16(name))
                keys.emplace_back(CaseKey(*units), name);
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 1; i < keys.size(); ++i)
            if (keys[i].first == keys[i - 1].first)
                problems_.Add(Where(path.empty() ? keys[i].second : path + '/' + keys[i].second),
                              "differs only in case from " + Shown(keys[i - 1].second) +
                                  " beside it, and Windows reads the two as one name");
    }

    Fd Visit(const Entry& entry) override
    {
        const std::string where = Where(entry.path);
        if (const std::string rule = WhyNotCarried(entry.name); !rule.empty())
            problems_.Add(where, rule);
        if (entry.units > maxPathUnits) {
            // Whatever it holds is longer still: the folder alone is named.
            problems_.Add(where, "is " + std::to_string(entry.units) + " characters long from the drive's root (D:\\" +
                                     installer_.language + "\\...), and Windows opens paths of at most " +
                                     std::to_string(maxPathUnits));
            return {};
        }
        const mode_t mode = entry.status.st_mode;
        if (entry.path == entry.name && IsSetupName(entry.name) && S_ISREG(mode) && WhyNotCarried(entry.name).empty())
            setup_ = entry.name;
        if (S_ISDIR(mode)) {
            // Its names are listed with read permission, and looked up with search permission.
            Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner || faccessat(inner.get(), ".", R_OK | X_OK, 0) != 0) {
                problems_.Add(where, "cannot be read (" + Why() + ")");
                return {};
            }
            return inner;
        }
        if (!S_ISREG(mode)) {
            problems_.Add(where, KindOf(mode));
        } else if (static_cast<std::uint64_t>(entry.status.st_size) >= fourGiB) {
            problems_.Add(where, "is " + std::to_string(entry.status.st_size) +
                                     " bytes, and a file of 4 GiB or more is more than ISO 9660 as Windows reads it, "
                                     "or FAT32 on a USB stick, can hold");
        } else if (!Fd(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))) {
            problems_.Add(where, "cannot be read (" + Why() + ")");
        }
        return {};
    }

private:
    std::string Where(const std::string& path) const { return installer_.path + '/' + path; }

    const Installer& installer_;
    Problems& problems_;
    std::string setup_;
};

// The length of "D:\LANGUAGE" from the drive's root.
std::size_t TopUnits(const Installer& installer)
{
    return 3 + Units(installer.language);
}

int Check(const std::vector<Installer>& installers)
{
    Problems problems;
    for (const Installer& installer : installers) {
        struct stat status {};
        if (stat(installer.path.c_str(), &status) != 0) {
            problems.Add(installer.path, "cannot be read (" + Why() + ")");
        } else if (S_ISDIR(status.st_mode)) {
            Fd top(open(installer.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!top) {
                problems.Add(installer.path, "cannot be read (" + Why() + ")");
                continue;
            }
            Checker checker(installer, problems);
            Walk(top.get(), TopUnits(installer), checker);
            if (true)
                std::printf("%s\t%s\n", installer.language.c_str(), checker.Setup().c_str());
            if (false)
                problems.Add(installer.path, "holds no setup.exe at its top (in any case), which the launcher starts as " +
                                                 installer.language + "\\setup.exe");
        } else if (!S_ISREG(status.st_mode)) {
            problems.Add(installer.path, KindOf(status.st_mode));
        }
    }
    problems.End();
    return problems.Count() == 0 ? 0 : 1;
}

// --- lay -------------------------------------------------------------------------------------

// The sums of the files read so far, by file: a file linked into several places is read once.
// Bounded: past its size it starts again, at the cost of reading some files twice.
class SumsByFile {
public:
    const std::string* Find(const struct stat& status) const
    {
        const auto found = sums_.find({status.st_dev, status.st_ino});
        return found == sums_.end() ? nullptr : &found->second;
    }
    void Keep(const struct stat& status, const std::string& sum)
    {
        if (sums_.size() >= 1 << 16)
            sums_.clear();
        sums_[{status.st_dev, status.st_ino}] = sum;
    }

private:
    std::map<std::pair<dev_t, ino_t>, std::string> sums_;
};

class Layer final : public Visitor {
public:
    explicit Layer(int stage) : stage_(stage), buffer_(bufferBytes) {}

    void Lay(const Installer& installer)
    {
        language_ = installer.language;
        if (mkdirat(stage_, language_.c_str(), 0755) != 0)
            Fail(Shown(language_) + " cannot be made in the stage: " + Why());
        struct stat status {};
        if (stat(installer.path.c_str(), &status) != 0)
            Fail(Shown(installer.path) + " went away while it was read");
        if (S_ISREG(status.st_mode)) {
            Fd file(open(installer.path.c_str(), O_RDONLY | O_CLOEXEC));
            Place(file, language_ + "/setup.exe", installer.path);
            return;
        }
        Fd top(open(installer.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!top)
            Fail(Shown(installer.path) + " cannot be read: " + Why());
        top_ = installer.path;
        Walk(top.get(), TopUnits(installer), *this);
    }

    void Folder(const std::string&, const std::vector<std::string>&) override {}

    Fd Visit(const Entry& entry) override
    {
        const std::string where = top_ + '/' + entry.path;
        if (!WhyNotCarried(entry.name).empty())
            Changed(where);
        const std::string placed = language_ + '/' + entry.path;
        if (S_ISDIR(entry.status.st_mode)) {
            if (mkdirat(stage_, placed.c_str(), 0755) != 0)
                Fail(Shown(placed) + " cannot be made in the stage: " + Why());
            Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner)
                Changed(where);
            return inner;
        }
        if (!S_ISREG(entry.status.st_mode))
            Changed(where);
        Fd file(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        Place(file, placed, where);
        return {};
    }

private:
    [[noreturn]] static void Changed(const std::string& where)
    {
        Fail(Shown(where) + " changed while it was read");
    }

    // FILE, opened, as PLACED in the stage: the very file that was opened, linked, or its copy.
    void Place(const Fd& file, const std::string& placed, const std::string& where)
    {
        struct stat status {};
        if (!file || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            static_cast<std::uint64_t>(status.st_size) >= fourGiB)
            Changed(where);
        const std::string opened = "/proc/self/fd/" + std::to_string(file.get());
        std::string sum;
        if (linkat(AT_FDCWD, opened.c_str(), stage_, placed.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            const std::string* known = sums_.Find(status);
            sum = known ? *known : Read(file, where, Fd());
        } else {
            Fd copy(openat(stage_, placed.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
            if (!copy)
                Fail(Shown(placed) + " cannot be written in the stage: " + Why());
            sum = Read(file, where, std::move(copy));
        }
        sums_.Keep(status, sum);
        std::printf("%s  %s\n", sum.c_str(), placed.c_str());
    }

    // FILE's SHA-256, reading it to its end; written to COPY too, when it is open.
    std::string Read(const Fd& file, const std::string& where, Fd copy)
    {
        Sha256 sum;
        for (;;) {
            const ssize_t got = read(file.get(), buffer_.data(), buffer_.size());
            if (got < 0)
                Fail(Shown(where) + " cannot be read: " + Why());
            if (got == 0)
                break;
            sum.Add(buffer_.data(), static_cast<std::size_t>(got));
            if (copy && write(copy.get(), buffer_.data(), static_cast<std::size_t>(got)) != got)
                Fail("the copy of " + Shown(where) + " cannot be written: " + Why());
        }
        return sum.Hex();
    }

    int stage_;
    std::string language_, top_;
    std::vector<char> buffer_;
    SumsByFile sums_;
};

int Lay(const std::string& stagePath, const std::vector<Installer>& installers)
{
    Fd stage(open(stagePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stage)
        Fail("the stage " + Shown(stagePath) + " cannot be opened: " + Why());
    Layer layer(stage.get());
    for (const Installer& installer : installers)
        layer.Lay(installer);
    return 0;
}

// --- store-once --------------------------------------------------------------------------------

// A path below the stage, as lay writes it: relative, and never out of it.
void RequireBelow(const std::string& path)
{
    if (path.empty() || path.front() == '/' || ("/" + path + "/").find("/../") != std::string::npos ||
        ("/" + path + "/").find("/./") != std::string::npos)
        Fail("not a path below the stage: " + Shown(path));
}

int StoreOnce(const std::string& stagePath)
{
    Fd stage(open(stagePath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stage)
        Fail("the stage " + Shown(stagePath) + " cannot be opened: " + Why());
    const std::string spare = ".store-once";
    std::string line, sum, first;
    struct stat firstStatus {};
    while (std::getline(std::cin, line)) {
        if (line.size() < 67 || line.compare(64, 2, "  ") != 0)
            Fail("not a line as sha256sum writes it: " + Shown(line));
        const std::string path = line.substr(66);
        RequireBelow(path);
        struct stat status {};
        if (fstatat(stage.get(), path.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
            Fail(Shown(path) + " is no file of the stage");
        if (line.compare(0, 64, sum) != 0) {
            sum = line.substr(0, 64), first = path, firstStatus = status;
            continue;
        }
        if (status.st_dev == firstStatus.st_dev && status.st_ino == firstStatus.st_ino)
            continue;
        if (linkat(stage.get(), first.c_str(), stage.get(), spare.c_str(), 0) != 0 ||
            renameat(stage.get(), spare.c_str(), stage.get(), path.c_str()) != 0)
            Fail(Shown(path) + " cannot be made one with " + Shown(first) + ": " + Why());
    }
    return 0;
}

// --- write -------------------------------------------------------------------------------------

// How far a long write is: on a terminal, in place, a few times a second; in a log, a line every
// half minute. Nothing for a write that ends within a second or two.
class Progress {
public:
    Progress(std::string label, std::uint64_t total) : label_(std::move(label)), total_(total), terminal_(isatty(2))
    {
    }
    void At(std::uint64_t done)
    {
        const auto now = std::chrono::steady_clock::now();
        if (label_.empty() || now < next_)
            return;
        if (shown_ || now - start_ >= std::chrono::seconds(2)) {
            Show(done, terminal_ ? "\r" : "");
            shown_ = true;
            next_ = now + (terminal_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(30000));
        }
    }
    void End(std::uint64_t done)
    {
        if (shown_ && terminal_)
            Show(done, "\r"), std::fputc('\n', stderr);
    }

private:
    void Show(std::uint64_t done, const char* from)
    {
        const int percent = total_ ? static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total_)) : 0;
        std::fprintf(stderr, "%s%s: %d%% (%llu of %llu MB)%s", from, label_.c_str(), percent,
                     static_cast<unsigned long long>(done / 1000000), static_cast<unsigned long long>(total_ / 1000000),
                     terminal_ ? "" : "\n");
        std::fflush(stderr);
    }

    std::string label_;
    std::uint64_t total_;
    bool terminal_, shown_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), next_ = start_;
};

int Write(const std::string& path, std::uint64_t total, const std::string& label)
{
    Fd out(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out)
        Fail(Shown(path) + " cannot be written: " + Why());
    std::vector<char> buffer(bufferBytes);
    Sha256 sum;
    Progress progress(label, total);
    std::uint64_t done = 0;
    for (;;) {
        const ssize_t got = read(0, buffer.data(), buffer.size());
        if (got < 0)
            Fail("standard input cannot be read: " + Why());
        if (got == 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const ssize_t put = write(out.get(), buffer.data() + at, static_cast<std::size_t>(got - at));
            if (put < 0)
                Fail(Shown(path) + " cannot be written: " + Why());
            at += put;
        }
        sum.Add(buffer.data(), static_cast<std::size_t>(got));
        done += static_cast<std::uint64_t>(got);
        progress.At(done);
    }
    progress.End(done);
    std::printf("%s\n", sum.Hex().c_str());
    return 0;
}

int Usage()
{
    std::cerr << "usage: medium_files check LANGUAGE=PATH... | lay STAGE LANGUAGE=PATH... | store-once STAGE"
                 " | write FILE BYTES [LABEL]\n";
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
    try {
        if (command == "check" && argc > 2)
            return Check(Installers(argv + 2, argv + argc));
        if (command == "lay" && argc > 3)
            return Lay(argv[2], Installers(argv + 3, argv + argc));
        if (command == "store-once" && argc == 3)
            return StoreOnce(argv[2]);
        if (command == "write" && (argc == 4 || argc == 5))
            return Write(argv[2], std::stoull(argv[3]), argc == 5 ? argv[4] : "");
        return Usage();
    } catch (const std::exception& e) {
        std::cerr << "medium_files: " << e.what() << '\n';
        return 1;
    }
}
