// A path from someone else's list, held to lead nowhere but below the folder it is taken in.
#pragma once

#include <string>
#include <string_view>

namespace medium {

// Whether each part of PATH, between its slashes, is a name of its own: none empty (so PATH is
// neither empty nor absolute), none "." or "..".
inline bool PartsAreNames(std::string_view path)
{
    std::string within(1, '/');
    within.append(path).push_back('/');
    return within.find("//") == std::string::npos && within.find("/./") == std::string::npos &&
           within.find("/../") == std::string::npos;
}

}  // namespace medium
