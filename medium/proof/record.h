// The build record make-medium writes beside the launcher, read by the grammar it writes it in,
// line by line, into typed values; anything else is refused with the line it stopped at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace proof {

// A record beyond this is no record make-medium writes.
inline constexpr std::size_t recordBytesAtMost = 64 * 1024;

enum class TreeState { Clean, Uncommitted, NoClone };

struct BuildRecord {
    std::string commit;                 // 40 or 64 lower-case hex digits; empty when not built from a clone
    TreeState tree = TreeState::NoClone;
    std::optional<std::uint64_t> epoch;  // SOURCE_DATE_EPOCH, when it was set
    std::string release;                // as written: "bookworm (12)", "none (...)"
    std::string codename;               // its first word: a Debian codename, "unknown" or "none"
    std::map<std::string, std::string> packages;   // the launcher's toolchain: name, version or "not installed"
    std::map<std::string, std::string> mastering;  // the mastering tool's packages: name, version
    std::string launcherSha256;         // 64 lower-case hex digits
    std::size_t lines = 0;
};

struct RecordRefused {
    std::size_t line;  // numbered from 1; one past the last when a line is missing
    std::string why;   // empty, or what is wrong beyond the line
};

// What make-medium writes as the record's first line, and for a tree with uncommitted changes.
struct RecordTexts {
    std::string heading, uncommitted;
};

std::variant<BuildRecord, RecordRefused> ReadRecord(std::string_view text, const RecordTexts& texts);

}  // namespace proof
