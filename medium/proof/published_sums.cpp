// medium_reader sums: the medium against the SHA256SUMS published beside it, when there is one: an
// image and the record beside it by their lines, a tree file by file, each of its files listed and
// matching, and none listed that it lacks. What that proves, on standard output.

#include "reader_commands.h"
#include "fd.h"
#include "folder_walk.h"
#include "installer_check.h"
#include "record.h"
#include "sha256.h"
#include "shown.h"
#include "sums.h"
#include "verdict.h"
#include "windows_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace proof {
namespace {

using medium::KindOf;

// At most BOUND bytes and one more of the regular file PATH, never through a link; false when it is
// longer or cannot be read.
bool Bounded(const std::string& path, std::uint64_t bound, std::string& bytes)
{
    medium::Fd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    std::vector<char> buffer(1 << 16);
    bytes.clear();
    for (;;) {
        const ssize_t got = read(file.get(), buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
        if (bytes.size() > bound)
            return false;
    }
}

std::string Sha256Of(const std::string& bytes)
{
    medium::Sha256 digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Hex();
}

std::string Sha256OfFile(int folder, const std::string& name, const std::string& shown)
{
    medium::Fd file(openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file)
        CannotTell(shown + " cannot be read");
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<char> buffer(medium::bufferBytes);
    medium::Sha256 digest;
    medium::ReadThrough(file, buffer, shown, [&](const char* bytes, std::size_t count) { digest.Add(bytes, count); });
    return digest.Hex();
}

// Each file of a language's folder, by its path below the tree, and its sum; or its size alone.
class Summer final : public medium::Visitor {
public:
    Summer(std::string language, std::string shown, bool sizesOnly, std::map<std::string, std::string>& sums)
        : language_(std::move(language)), shown_(std::move(shown)), sizesOnly_(sizesOnly), sums_(sums) {}
    std::uint64_t bytes = 0;

    void Folder(const std::string&, const std::vector<std::string>&) override {}
    medium::Fd Visit(const medium::Entry& entry) override
    {
        const std::string where = shown_ + "/" + language_;
        if (const std::string rule = medium::WhyNotCarried(entry.name); !rule.empty())
            Different(where + " holds what make-medium does not put on a medium: " + medium::Shown(entry.path) + " " + rule);
        if (S_ISDIR(entry.status.st_mode)) {
            medium::Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner)
                Different(where + " holds what make-medium does not put on a medium: " + medium::Shown(entry.path) + " cannot be read");
            return inner;
        }
        if (!S_ISREG(entry.status.st_mode))
            Different(where + " holds what make-medium does not put on a medium: " + medium::Shown(entry.path) + " is " +
                      KindOf(entry.status.st_mode));
        bytes += static_cast<std::uint64_t>(entry.status.st_size);
        if (!sizesOnly_)
            sums_[language_ + "/" + entry.path] = Sha256OfFile(entry.folder, entry.name, medium::Shown(entry.path));
        return {};
    }

private:
    std::string language_, shown_;
    bool sizesOnly_;
    std::map<std::string, std::string>& sums_;
};

// Every file of the tree's languages, summed; or their sizes alone, counted in BYTES.
std::map<std::string, std::string> WalkLanguages(const std::string& tree, const std::string& shown, bool sizesOnly,
                                                 std::uint64_t& bytes)
{
    std::map<std::string, std::string> sums;
    bytes = 0;
    for (const char* language : {"English", "German", "French"}) {
        medium::Fd top(open((tree + "/" + language).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!top)
            Different(shown + "/" + language + " cannot be read");
        Summer summer(language, shown, sizesOnly, sums);
        medium::Walk(top.get(), 0, summer);
        bytes += summer.bytes;
    }
    return sums;
}

}  // namespace

std::uint64_t TreeBytes(const std::string& tree, const std::string& shown)
{
    std::uint64_t bytes = 0;
    WalkLanguages(tree, shown, true, bytes);
    return bytes;
}

int PublishedSums(const std::string& path, const std::string& work, bool image)
{
    const std::string shown = ShownName(path);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const std::string beside = path.substr(0, path.find_last_of('/')) + "/SHA256SUMS";
    struct stat status {};
    if (lstat(beside.c_str(), &status) != 0) {
        std::printf("the vendor's files on it are not checked: no SHA256SUMS is beside it (put the published one beside it)");
        return 0;
    }
    if (!S_ISREG(status.st_mode))
        CannotTell("SHA256SUMS beside " + shown + " is " + KindOf(status.st_mode) + ", not the published sums");
    std::string published;
    if (!Bounded(beside, sumsBytesAtMost, published))
        CannotTell("SHA256SUMS beside " + shown + " is over " + std::to_string(sumsBytesAtMost) +
                   " bytes, or cannot be read: not the published sums");
    const auto read = ReadSums(published);
    if (const auto* refused = std::get_if<SumsRefused>(&read)) {
        if (refused->outside)
            CannotTell("SHA256SUMS beside " + shown + " names " + medium::Shown(refused->name) +
                       ", which is not a file of the medium (line " + std::to_string(refused->line) + ")");
        CannotTell("SHA256SUMS beside " + shown + " is not in the form sha256sum writes (line " + std::to_string(refused->line) + ")");
    }
    std::vector<Listed> listed = std::get<std::vector<Listed>>(read);
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
    std::string record;
    Bounded(work + "/build-record.txt", recordBytesAtMost, record);

    if (image) {
        const std::string recordBeside = (name.size() > 4 && name.substr(name.size() - 4) == ".iso" ? name.substr(0, name.size() - 4) : name) +
                                         ".build-record.txt";
        std::string proven = "the image is not checked against published sums: the SHA256SUMS beside it does not list it";
        for (const Listed& line : listed) {
            if (line.name == name) {
                std::ifstream in(path, std::ios::binary);
                medium::Sha256 digest;
                std::vector<char> buffer(medium::bufferBytes);
                while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
                    digest.Add(buffer.data(), static_cast<std::size_t>(in.gcount()));
                if (digest.Hex() != line.sha256)
                    Different(shown + " does not match its SHA-256 in SHA256SUMS: it is not the image published with these sums");
                proven = "the image matches the published SHA256SUMS";
            } else if (line.name == recordBeside) {
                const std::string file = path.substr(0, path.find_last_of('/')) + "/" + line.name;
                const std::string listedName = medium::Shown(line.name);
                std::string bytes;
                if (lstat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
                    Different(listedName + ", listed in SHA256SUMS, is " + (lstat(file.c_str(), &status) != 0 ? "missing" : KindOf(status.st_mode)));
                if (!Bounded(file, recordBytesAtMost, bytes))
                    Different(listedName + ", listed in SHA256SUMS, is over " + std::to_string(recordBytesAtMost) +
                              " bytes, or cannot be read");
                if (Sha256Of(bytes) != line.sha256)
                    Different(listedName + " does not match its SHA-256 in SHA256SUMS: the medium is not the one published with these sums");
                if (bytes != record)
                    Different(listedName + " is not the build record on " + shown +
                              ": the record published beside it tells of another medium");
            }
        }
        std::printf("%s", proven.c_str());
        return 0;
    }

    // A tree: the lines of its files, by their path below it.
    std::map<std::string, std::vector<std::string>> sums;
    for (const Listed& line : listed)
        if (line.name.compare(0, name.size() + 1, name + "/") == 0)
            sums[line.name.substr(name.size() + 1)].push_back(line.sha256);
    if (sums.empty())
        CannotTell("SHA256SUMS beside " + shown + " lists no file of " + shown +
                   "/: they are another medium's sums, or the folder has been renamed (give it the name its sums use)");
    // Read once its sizes show it fits on a disc (the root's reading held it to that).
    std::uint64_t bytes = 0;
    std::map<std::string, std::string> present = WalkLanguages(path, shown, false, bytes);
    for (const char* file : {"Project1.exe", "autorun.inf", "build-record.txt"}) {
        std::string bytes;
        Bounded(work + "/" + file, launcherBytesAtMost, bytes);
        present[file] = Sha256Of(bytes);
    }
    // Side by side, in the order of their names' bytes: a file the sums do not list, one they
    // list that is not there, one that differs.
    auto have = present.begin();
    auto want = sums.begin();
    while (have != present.end() || want != sums.end()) {
        if (want == sums.end() || (have != present.end() && have->first < want->first))
            Different(shown + "/" + medium::Shown(have->first) + " is on the medium, and the published SHA256SUMS does not list it");
        if (have == present.end() || want->first < have->first)
            Different(shown + "/" + medium::Shown(want->first) + ", listed in the published SHA256SUMS, is not on the medium");
        for (const std::string& sum : want->second)
            if (sum != have->second)
                Different(shown + "/" + medium::Shown(have->first) +
                          " does not match its SHA-256 in SHA256SUMS: the medium is not the one published with these sums");
        ++have, ++want;
    }
    std::printf("each of its %zu files matches the published SHA256SUMS, and it holds no other", present.size());
    return 0;
}

}  // namespace proof
