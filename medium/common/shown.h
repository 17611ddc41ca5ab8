// Text from someone else's files as it may reach a terminal: every byte outside printable ASCII,
// and the backslash, as \xNN, and no more than 400 bytes of it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace medium {

inline std::string Shown(std::string_view text)
{
    std::string out;
    for (const char c : text.substr(0, 400)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        }
    }
    return text.size() > 400 ? out + "..." : out;
}

}  // namespace medium
