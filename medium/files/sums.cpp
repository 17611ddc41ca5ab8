// medium_files sum, sums-of and store-once: each file's SHA-256, and each content stored once. The
// lines they read are lay's, or their own, sorted; they hold no more than a few lines and a fixed table
// in memory, however many files there are.

#include "commands.h"
#include "folder_walk.h"
#include "path_parts.h"
#include "sha256.h"
#include "shown.h"
#include "windows_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <utility>

namespace medium {
namespace {

// A path below the stage, as lay writes it: relative, and never out of it.
void RequireBelow(const std::string& path)
{
    if (!PartsAreNames(path))
        Fail("not a path below the stage: " + Shown(path));
}

// The sums of files read lately, by file, so that a file linked into several places (the same
// folder given for each language) is read once. A fixed table: a file that falls where another
// was is read again.
class SumsByFile {
public:
    const char* Find(const struct stat& status) const
    {
        const Slot& slot = slots_[Place(status)];
        return slot.used && slot.device == status.st_dev && slot.inode == status.st_ino ? slot.sum.data() : nullptr;
    }
    void Keep(const struct stat& status, const std::string& sum)
    {
        Slot& slot = slots_[Place(status)];
        slot = {true, status.st_dev, status.st_ino, {}};
        sum.copy(slot.sum.data(), slot.sum.size() - 1);
    }

private:
    struct Slot {
        bool used = false;
        dev_t device = 0;
        ino_t inode = 0;
        std::array<char, 65> sum{};
    };
    static std::size_t Place(const struct stat& status)
    {
        return (static_cast<std::uint64_t>(status.st_ino) * 0x9E3779B97F4A7C15u ^ status.st_dev) >> 50;
    }
    std::vector<Slot> slots_ = std::vector<Slot>(std::size_t{1} << 14);
};

class Summer {
public:
    explicit Summer(int stage, std::string under = "") : stage_(stage), under_(std::move(under)), buffer_(bufferBytes) {}

    void Print(const std::string& path)
    {
        RequireBelow(path);
        Fd file(openat(stage_, path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (!file || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
            Fail(Shown(path) + " is no file of the stage");
        std::string sum;
        if (const char* known = sums_.Find(status)) {
            sum = known;
        } else {
            posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
            Sha256 digest;
            ReadThrough(file, buffer_, path, [&](const char* bytes, std::size_t count) { digest.Add(bytes, count); });
            sum = digest.Hex();
            sums_.Keep(status, sum);
        }
        std::printf("%s  %s%s\n", sum.c_str(), under_.c_str(), path.c_str());
    }

private:
    int stage_;
    std::string under_;
    std::vector<char> buffer_;
    SumsByFile sums_;
};

Fd OpenStage(const std::string& path)
{
    Fd stage(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!stage)
        Fail("the stage " + Shown(path) + " cannot be opened: " + Why());
    return stage;
}

// "SIZE<tab>FILE<tab>PATH", as lay prints it: FILE is the device and inode, which files linked
// into several places share.
struct Laid {
    std::string size, file, path;
};

Laid ReadLaid(const std::string& line)
{
    const auto first = line.find('\t'), second = line.find('\t', first + 1);
    if (first == 0 || first == std::string::npos || second == std::string::npos ||
        line.find_first_not_of("0123456789") != first)
        Fail("not a line as lay prints it: " + Shown(line));
    return {line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)};
}

}  // namespace

int Sum(const std::string& stagePath, bool sharedOnly, const std::string& under)
{
    const Fd stage = OpenStage(stagePath);
    Summer summer(stage.get(), under);
    // Sorted by size, then by file: a group of one size shares its content only when it holds two
    // files. The lines of its first file wait until a second shows (a bounded number of them:
    // past it, the group counts as shared, and only costs reading).
    constexpr std::size_t waitingAtMost = 4096;
    std::string line, size, first;
    std::vector<std::string> waiting;
    bool shared = false;
    while (std::getline(std::cin, line)) {
        const Laid laid = ReadLaid(line);
        if (!sharedOnly) {
            summer.Print(laid.path);
        } else if (laid.size == "0") {
            // Empty files take no room on the image: none is linked to another.
        } else if (laid.size != size) {
            size = laid.size, first = laid.file, shared = false;
            waiting = {laid.path};
        } else if (shared) {
            summer.Print(laid.path);
        } else if (laid.file == first && waiting.size() < waitingAtMost) {
            waiting.push_back(laid.path);
        } else {
            shared = true;
            for (const std::string& path : waiting)
                summer.Print(path);
            waiting.clear();
            summer.Print(laid.path);
        }
    }
    return 0;
}

namespace {

// A medium's tree, summed file by file: folders and files only, never through a link, each name
// one that make-medium writes.
class TreeSummer final : public Visitor {
public:
    explicit TreeSummer(int top) : summer_(top) {}
    void Folder(const std::string&, const std::vector<std::string>&) override {}
    Fd Visit(const Entry& entry) override
    {
        if (const std::string rule = WhyNotCarried(entry.name); !rule.empty())
            Fail(Shown(entry.path) + " " + rule);
        if (S_ISDIR(entry.status.st_mode)) {
            Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner)
                Fail(Shown(entry.path) + " cannot be read: " + Why());
            return inner;
        }
        if (!S_ISREG(entry.status.st_mode))
            Fail(Shown(entry.path) + " is " + KindOf(entry.status.st_mode) + ", not a file");
        summer_.Print(entry.path);
        return {};
    }

private:
    Summer summer_;
};

}  // namespace

int SumsOf(const std::string& treePath)
{
    const Fd tree = OpenStage(treePath);
    TreeSummer summer(tree.get());
    Walk(tree.get(), 0, summer);
    return 0;
}

int StoreOnce(const std::string& stagePath)
{
    const Fd stage = OpenStage(stagePath);
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

}  // namespace medium
