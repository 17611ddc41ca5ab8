// An installer read whole as Windows will meet it, each rule it breaks a typed problem, whether its
// names are read from a folder or from an image's tree; check prints them, verify-medium reads a
// medium's languages by them.
#pragma once

#include "windows_names.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace medium {

// One language's installer, as make-medium gives it: LANGUAGE=PATH.
struct Installer {
    std::string language, path;
};

// ISO 9660 as Windows reads it, and FAT32 on a USB stick, hold files below this size.
inline constexpr std::uint64_t fourGiB = std::uint64_t{1} << 32;
// What a file that is not a regular file is, in words: "a symbolic link", "a folder", "a device", ...
std::string KindOf(mode_t mode);
// The length of "D:\LANGUAGE" from the drive's root.
std::size_t TopUnits(const Installer& installer);

enum class Broken {
    Name,         // a NameRule
    CaseTwin,     // another name beside it is the same in any case
    PathTooLong,  // over maxPathUnits from the drive's root
    Link,
    NotAFile,     // a device, a pipe, a socket
    TooLarge,     // 4 GiB or more
    Unreadable,
    NoSetup,      // a folder with no setup.exe at its top
};

struct Problem {
    std::string path;  // as given, then '/' and the path below it
    Broken rule;
    NameRule name;     // for Broken::Name
    std::string words;
};

// The problems found, each once (the same folder may be given for each language), the first few
// kept and the rest counted.
class Problems {
public:
    static constexpr std::size_t keptAtMost = 20;
    void Add(const std::string& path, Broken rule, const std::string& words, NameRule name = NameRule::None);
    const std::vector<Problem>& Kept() const { return kept_; }
    std::size_t Count() const { return count_; }

private:
    std::vector<Problem> kept_;
    std::size_t count_ = 0;
};

// The naming rules of one installer's entries, wherever their names are read from (a folder on
// disk, an image's tree): each name, its path's length from the drive's root, and names beside each
// other that are one in any case.
class NameRules {
public:
    NameRules(const Installer& installer, Problems& problems) : installer_(installer), problems_(problems) {}
    // A folder's names; PATH is below the installer's top ("" for the top).
    void Folder(const std::string& path, const std::vector<std::string>& names);
    // The entry NAME at PATH, whose path is UNITS long from the drive's root: false when that is
    // too long for anything below it to be read.
    bool Entry(const std::string& path, const std::string& name, std::size_t units);
    std::string Where(const std::string& path) const { return installer_.path + '/' + path; }

private:
    const Installer& installer_;
    Problems& problems_;
};

// Whether NAME is setup.exe, in any case.
bool IsSetupName(const std::string& name);
// Why a file of SIZE bytes is too large for a medium.
std::string TooLarge(std::uint64_t size);

// Each installer read; the name of the setup program at the top of each folder, by language.
std::vector<std::pair<std::string, std::string>> CheckInstallers(const std::vector<Installer>& installers,
                                                                 Problems& problems);

}  // namespace medium
