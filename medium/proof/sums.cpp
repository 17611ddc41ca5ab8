#include "sums.h"

#include <algorithm>

namespace proof {

std::variant<std::vector<Listed>, SumsRefused> ReadSums(std::string_view text)
{
    std::vector<Listed> listed;
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (line.empty())
            continue;
        const bool hex = line.size() > 66 &&
                         std::all_of(line.begin(), line.begin() + 64, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
        if (!hex || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            return SumsRefused{number, false, {}};
        const std::string name(line.substr(66));
        // sha256sum writes a name that holds a newline or a backslash escaped, after a backslash:
        // no name make-medium writes.
        const std::string within = "/" + name + "/";
        if (name.front() == '/' || name.front() == '\\' || within.find("/../") != std::string::npos)
            return SumsRefused{number, true, name};
        listed.push_back({std::string(line.substr(0, 64)), name});
    }
    return listed;
}

}  // namespace proof
