// medium_files check: each installer read whole, before anything is written, against the rules
// of windows_names.h, Windows' longest path, the file types and sizes a medium carries, and
// whether each file can be read.

#include "commands.h"
#include "folder_walk.h"
#include "installer_check.h"
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
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::size_t TopUnits(const Installer& installer)
{
    return 3 + Units(installer.language);
}

void Problems::Add(const std::string& path, Broken rule, const std::string& words, NameRule name)
{
    for (const Problem& kept : kept_)
        if (kept.path == path && kept.words == words)
            return;
    if (++count_ <= keptAtMost)
        kept_.push_back({path, rule, name, words});
}

bool IsSetupName(const std::string& name)
{
    const auto units = Utf16(name);
    return units && CaseKey(*units) == u"SETUP.EXE";
}

std::string TooLarge(std::uint64_t size)
{
    return "is " + std::to_string(size) +
           " bytes, and a file of 4 GiB or more is more than ISO 9660 as Windows reads it, or FAT32 on a USB stick, can hold";
}

void NameRules::Folder(const std::string& path, const std::vector<std::string>& names)
{
    // Two names that Windows reads as one: the second is refused.
    std::vector<std::pair<std::u16string, std::string>> keys;
    for (const std::string& name : names)
        if (const auto units = Utf16(name))
            keys.emplace_back(CaseKey(*units), name);
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i].first == keys[i - 1].first)
            problems_.Add(Where(path.empty() ? keys[i].second : path + '/' + keys[i].second), Broken::CaseTwin,
                          "differs only in case from " + Shown(keys[i - 1].second) +
                              " beside it, and Windows reads the two as one name");
}

bool NameRules::Entry(const std::string& path, const std::string& name, std::size_t units)
{
    const std::string where = Where(path);
    if (const NameRule rule = RuleBroken(name); rule != NameRule::None)
        problems_.Add(where, Broken::Name, WhyNotCarried(name), rule);
    if (units <= maxPathUnits)
        return true;
    // Whatever it holds is longer still: the folder alone is named.
    problems_.Add(where, Broken::PathTooLong, "is " + std::to_string(units) + " characters long from the drive's root (D:\\" +
                                                  installer_.language + "\\...), and Windows opens paths of at most " +
                                                  std::to_string(maxPathUnits));
    return false;
}

namespace {

class Checker final : public Visitor {
public:
    Checker(const Installer& installer, Problems& problems) : rules_(installer, problems), problems_(problems) {}

    // The name of the setup program at the top, when it is a file.
    const std::string& Setup() const { return setup_; }

    void Folder(const std::string& path, const std::vector<std::string>& names) override { rules_.Folder(path, names); }

    Fd Visit(const Entry& entry) override
    {
        const std::string where = rules_.Where(entry.path);
        if (!rules_.Entry(entry.path, entry.name, entry.units))
            return {};
        const mode_t mode = entry.status.st_mode;
        if (entry.path == entry.name && IsSetupName(entry.name) && S_ISREG(mode) && RuleBroken(entry.name) == NameRule::None)
            setup_ = entry.name;
        if (S_ISDIR(mode)) {
            // Its names are listed with read permission, and looked up with search permission.
            Fd inner(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!inner || faccessat(inner.get(), ".", R_OK | X_OK, 0) != 0) {
                problems_.Add(where, Broken::Unreadable, "cannot be read (" + Why() + ")");
                return {};
            }
            return inner;
        }
        if (S_ISLNK(mode)) {
            problems_.Add(where, Broken::Link, "is " + KindOf(mode) + ", which could carry a file of this machine onto the medium: put the file "
                                                "itself in its place");
        } else if (!S_ISREG(mode)) {
            problems_.Add(where, Broken::NotAFile, "is " + KindOf(mode) + ", not a file");
        } else if (static_cast<std::uint64_t>(entry.status.st_size) >= fourGiB) {
            problems_.Add(where, Broken::TooLarge, TooLarge(entry.status.st_size));
        } else if (!Fd(openat(entry.folder, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC))) {
            problems_.Add(where, Broken::Unreadable, "cannot be read (" + Why() + ")");
        }
        return {};
    }

private:
    NameRules rules_;
    Problems& problems_;
    std::string setup_;
};

}  // namespace

std::vector<std::pair<std::string, std::string>> CheckInstallers(const std::vector<Installer>& installers,
                                                                 Problems& problems)
{
    std::vector<std::pair<std::string, std::string>> setups;
    for (const Installer& installer : installers) {
        struct stat status {};
        if (stat(installer.path.c_str(), &status) != 0) {
            problems.Add(installer.path, Broken::Unreadable, "cannot be read (" + Why() + ")");
        } else if (S_ISDIR(status.st_mode)) {
            Fd top(open(installer.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!top) {
                problems.Add(installer.path, Broken::Unreadable, "cannot be read (" + Why() + ")");
                continue;
            }
            Checker checker(installer, problems);
            Walk(top.get(), TopUnits(installer), checker);
            if (!checker.Setup().empty())
                setups.emplace_back(installer.language, checker.Setup());
            else
                problems.Add(installer.path, Broken::NoSetup,
                             "holds no setup.exe at its top (in any case), which the launcher starts as " +
                                 installer.language + "\\setup.exe");
        } else if (!S_ISREG(status.st_mode)) {
            problems.Add(installer.path, Broken::NotAFile, "is " + KindOf(status.st_mode) + ", not a file");
        } else if (static_cast<std::uint64_t>(status.st_size) >= fourGiB) {
            problems.Add(installer.path, Broken::TooLarge, TooLarge(status.st_size));
        }
    }
    return setups;
}

int Check(const std::vector<Installer>& installers)
{
    Problems problems;
    for (const auto& [language, setup] : CheckInstallers(installers, problems))
        std::printf("%s%c%s%c", language.c_str(), '\0', setup.c_str(), '\0');
    for (const Problem& problem : problems.Kept())
        std::cerr << Shown(problem.path) << ": " << problem.words << '\n';
    if (problems.Count() > Problems::keptAtMost)
        std::cerr << "and " << problems.Count() - Problems::keptAtMost << " more\n";
    return problems.Count() == 0 ? 0 : 1;
}

}  // namespace medium
