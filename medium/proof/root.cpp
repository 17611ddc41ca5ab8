#include "root.h"

#include "fd.h"
#include "installer_check.h"
#include "image.h"
#include "windows_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

namespace proof {
namespace {

using medium::KindOf;

std::u16string KeyOf(const std::string& name)
{
    const auto units = medium::Utf16(name);
    return units ? medium::CaseKey(*units) : std::u16string();
}

// The one name of NAMES that is NAME in any case: "" for none, and TWICE set for more than one.
std::string Matching(const std::vector<std::pair<std::string, bool>>& names, const std::string& name, bool& twice)
{
    std::string found;
    twice = false;
    for (const auto& [entry, folder] : names) {
        if (KeyOf(entry) != KeyOf(name) || KeyOf(entry).empty())
            continue;
        twice = twice || !found.empty();
        found = entry;
    }
    return found;
}

class OnDisk final : public MediumRoot {
public:
    explicit OnDisk(const std::string& tree) : top_(open(tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

    std::vector<std::pair<std::string, bool>> Names() const override
    {
        std::vector<std::pair<std::string, bool>> names;
        const int own = top_ ? dup(top_.get()) : -1;
        DIR* listing = own >= 0 ? fdopendir(own) : nullptr;
        if (!listing) {
            if (own >= 0)
                close(own);
            return names;
        }
        rewinddir(listing);  // the copy shares the folder's offset, at its end after a listing
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            struct stat status {};
            if (name == "." || name == ".." || fstatat(top_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            names.emplace_back(name, S_ISDIR(status.st_mode));
        }
        closedir(listing);
        std::sort(names.begin(), names.end());
        return names;
    }

protected:
    Taken TakeNamed(const std::string& found, const std::string& out, std::uint64_t bound) const override
    {
        struct stat status {};
        if (fstatat(top_.get(), found.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return {Taken::Result::Unreadable, {}};
        if (!S_ISREG(status.st_mode))
            return {Taken::Result::NotAFile, KindOf(status.st_mode)};
        // Never through a link that took its place meanwhile, nor waiting on a pipe.
        medium::Fd file(openat(top_.get(), found.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        if (!file || fstat(file.get(), &opened) != 0)
            return {Taken::Result::Unreadable, {}};
        if (!S_ISREG(opened.st_mode))
            return {Taken::Result::NotAFile, KindOf(opened.st_mode)};
        medium::Fd copy(open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!copy)
            return {Taken::Result::Unreadable, {}};
        std::vector<char> buffer(64 * 1024);
        std::uint64_t done = 0;
        while (done <= bound) {
            const ssize_t got = read(file.get(), buffer.data(), std::min<std::uint64_t>(buffer.size(), bound + 1 - done));
            if (got < 0)
                return {Taken::Result::Unreadable, {}};
            if (got == 0)
                break;
            if (write(copy.get(), buffer.data(), static_cast<std::size_t>(got)) != got)
                return {Taken::Result::Unreadable, {}};
            done += static_cast<std::uint64_t>(got);
        }
        return {done > bound ? Taken::Result::Over : Taken::Result::Whole, {}};
    }

private:
    medium::Fd top_;
};

class InImage final : public MediumRoot {
public:
    explicit InImage(const LoadedImage& image) : image_(image) {}

    std::vector<std::pair<std::string, bool>> Names() const override
    {
        std::vector<std::pair<std::string, bool>> names;
        for (const ImageEntry& entry : image_.Entries())
            if (entry.path.find('/', 1) == std::string::npos)
                names.emplace_back(entry.path.substr(1), entry.kind == ImageEntry::Kind::Folder);
        return names;
    }

protected:
    Taken TakeNamed(const std::string& found, const std::string& out, std::uint64_t bound) const override
    {
        const ImageEntry* entry = image_.Find("/" + found);
        if (entry->kind != ImageEntry::Kind::File)
            return {Taken::Result::NotAFile, entry->kind == ImageEntry::Kind::Folder ? "a folder" : "not a regular file"};
        if (!image_.Copy(*entry, out, bound + 1))
            return {Taken::Result::Unreadable, {}};
        return {entry->size > bound ? Taken::Result::Over : Taken::Result::Whole, {}};
    }

private:
    const LoadedImage& image_;
};

}  // namespace

Taken MediumRoot::Take(const std::string& name, const std::string& out, std::uint64_t bound) const
{
    bool twice = false;
    const std::string found = Matching(Names(), name, twice);
    if (found.empty())
        return {Taken::Result::Missing, {}};
    if (twice)
        return {Taken::Result::Twice, {}};
    return TakeNamed(found, out, bound);
}

std::unique_ptr<MediumRoot> TreeRoot(const std::string& tree)
{
    return std::make_unique<OnDisk>(tree);
}

std::unique_ptr<MediumRoot> ImageRoot(const LoadedImage& image)
{
    return std::make_unique<InImage>(image);
}

std::string StrayName(const MediumRoot& root, const std::vector<std::string>& names, std::string& why)
{
    static const std::string windowsFolder = "System Volume Information";
    std::map<std::u16string, int> seen;
    for (const auto& [name, folder] : root.Names()) {
        const std::u16string key = KeyOf(name);
        const bool known = !key.empty() && (key == KeyOf(windowsFolder) ||
                                            std::any_of(names.begin(), names.end(), [&](const std::string& n) { return KeyOf(n) == key; }));
        if (!known || ++seen[key] > 1) {
            why = "which make-medium does not put there";
            return name;
        }
        if (key == KeyOf(windowsFolder) && !folder) {
            why = "and it is not Windows' folder of that name";
            return name;
        }
    }
    return {};
}

}  // namespace proof
