// medium_files check: each installer read whole, before anything is written, against the rules
// of windows_names.h, Windows' longest path, the file types and sizes a medium carries, and
// whether each file can be read.

#include "commands.h"
#include "folder_walk.h"
#include "shown.h"
#include "windows_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace medium {

std::string KindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "is a symbolic link";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device, not a file";
    if (S_ISFIFO(mode))
        return "is a named pipe, not a file";
    if (S_ISSOCK(mode))
        return "is a socket, not a file";
    return "is neither a file nor a folder";
}

std::size_t TopUnits(const Installer& installer)
{
    return 3 + Units(installer.language);
}

namespace {

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

std::string TooLarge(off_t size)
{
    return "is " + std::to_string(size) +
           " bytes, and a file of 4 GiB or more is more than ISO 9660 as Windows reads it, or FAT32 on a USB stick, can hold";
}

bool IsSetupName(const std::string& name)
{
    const auto units = Utf16(name);
    return units && CaseKey(*units) == u"SETUP.EXE";
}

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
        if (S_ISLNK(mode)) {
            problems_.Add(where, KindOf(mode) + ", which could carry a file of this machine onto the medium: put the file "
                                                "itself in its place");
        } else if (!S_ISREG(mode)) {
            problems_.Add(where, KindOf(mode));
        } else if (static_cast<std::uint64_t>(entry.status.st_size) >= fourGiB) {
            problems_.Add(where, TooLarge(entry.status.st_size));
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

}  // namespace

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
            if (!checker.Setup().empty())
                std::printf("%s\t%s\n", installer.language.c_str(), checker.Setup().c_str());
            else
                problems.Add(installer.path, "holds no setup.exe at its top (in any case), which the launcher starts as " +
                                                 installer.language + "\\setup.exe");
        } else if (!S_ISREG(status.st_mode)) {
            problems.Add(installer.path, KindOf(status.st_mode));
        } else if (static_cast<std::uint64_t>(status.st_size) >= fourGiB) {
            problems.Add(installer.path, TooLarge(status.st_size));
        }
    }
    problems.End();
    return problems.Count() == 0 ? 0 : 1;
}

}  // namespace medium
