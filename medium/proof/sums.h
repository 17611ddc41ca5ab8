// The SHA256SUMS published beside a medium, read by the form sha256sum writes: each line a SHA-256
// in lower-case hex, a space, a space or '*', and a name of the medium, relative and never out of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace proof {

// Sums beyond this are no medium's: a line a file, and no medium holds a million files.
inline constexpr std::size_t sumsBytesAtMost = 64 * 1024 * 1024;

struct Listed {
    std::string sha256;
    std::string name;  // its bytes as written
};

struct SumsRefused {
    std::size_t line;
    bool outside;      // a form sha256sum writes, but a name no file of the medium has
    std::string name;
};

std::variant<std::vector<Listed>, SumsRefused> ReadSums(std::string_view text);

}  // namespace proof
