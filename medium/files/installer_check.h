// An installer read whole as Windows will meet it, each rule it breaks a typed problem: what check
// prints, and what the tests hold to both sides of each rule's line.
#pragma once

#include "commands.h"
#include "windows_names.h"

#include <string>
#include <utility>
#include <vector>

namespace medium {

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

// Each installer read; the name of the setup program at the top of each folder, by language.
std::vector<std::pair<std::string, std::string>> CheckInstallers(const std::vector<Installer>& installers,
                                                                 Problems& problems);

}  // namespace medium
