#include "record.h"

#include "windows_names.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace proof {

namespace {

// Printable UTF-8: no C0 control, DEL or C1 control, no NUL, nothing that is not UTF-8.
bool Printable(std::string_view line)
{
    const auto units = medium::Utf16(line);
    return units && std::none_of(units->begin(), units->end(), [](char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit < 0xA0); });
}

bool AllOf(std::string_view text, std::string_view allowed)
{
    return text.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr std::string_view digits = "0123456789";
constexpr std::string_view hex = "0123456789abcdef";
constexpr std::string_view lower = "abcdefghijklmnopqrstuvwxyz";

// A package's name as Debian's policy has it: lower-case letters, digits, + - and ., at least two,
// the first a letter or digit.
bool IsPackageName(std::string_view name)
{
    return name.size() >= 2 && AllOf(name.substr(0, 1), "abcdefghijklmnopqrstuvwxyz0123456789") &&
           AllOf(name, "abcdefghijklmnopqrstuvwxyz0123456789+.-");
}

// A version as Debian's policy has it: [EPOCH:]UPSTREAM[-REVISION], the upstream version starting
// with a digit.
bool IsVersion(std::string_view version)
{
    if (const auto colon = version.find(':'); colon != std::string_view::npos) {
        if (colon == 0 || !AllOf(version.substr(0, colon), digits))
            return false;
        version.remove_prefix(colon + 1);
    }
    constexpr std::string_view allowed = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.+~-";
    return !version.empty() && AllOf(version.substr(0, 1), digits) && AllOf(version, allowed) && version.back() != '-';
}

// NAME VERSION (or NAME not installed, when ALLOW_ABSENT): the name in NAME, the version in VERSION.
bool IsPackage(std::string_view text, bool allowAbsent, std::string& name, std::string& version)
{
    const auto space = text.find(' ');
    if (space == std::string_view::npos)
        return false;
    name = text.substr(0, space);
    version = text.substr(space + 1);
    return IsPackageName(name) && (IsVersion(version) || (allowAbsent && version == "not installed"));
}

// CODENAME (NUMBER) or unknown (no number) as make-medium writes Debian's, or none (WHAT) off
// Debian: the codename, or "none", in CODENAME.
bool IsRelease(std::string_view text, std::string& codename)
{
    if (text.size() > 7 && text.substr(0, 6) == "none (" && text.back() == ')') {
        codename = "none";
        return true;
    }
    const auto open = text.find(" (");
    if (open == std::string_view::npos || text.back() != ')')
        return false;
    codename = text.substr(0, open);
    const std::string_view number = text.substr(open + 2, text.size() - open - 3);
    bool numbered = !number.empty() && number.front() != '.' && number.back() != '.' && AllOf(number, "0123456789.") &&
                    number.find("..") == std::string_view::npos;
    return !codename.empty() && AllOf(codename, lower) && (numbered || number == "no number");
}

}  // namespace

std::variant<BuildRecord, RecordRefused> ReadRecord(std::string_view text, const RecordTexts& texts)
{
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (text.size() > recordBytesAtMost) {
        std::size_t within = 1;
        for (std::size_t i = 0; i < recordBytesAtMost; ++i)
            within += text[i] == '\n';
        return RecordRefused{within, "it is over " + std::to_string(recordBytesAtMost) + " bytes"};
    }
    static constexpr std::string_view keys[] = {"commit", "tree", "SOURCE_DATE_EPOCH", "Debian release", "package",
                                                "mastering", "unsigned Project1.exe SHA-256"};
    BuildRecord record;
    std::map<std::string, bool> seen;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t number = i + 1;
        const std::string_view line = lines[i];
        if (!Printable(line) || (i == 0 && line != texts.heading))
            return RecordRefused{number, {}};
        if (i == 0)
            continue;
        const auto separator = line.find(": ");
        const std::string_view keyWritten = line.substr(0, separator);
        if (separator == std::string_view::npos || std::find(std::begin(keys), std::end(keys), keyWritten) == std::end(keys))
            return RecordRefused{number, {}};
        std::string key(keyWritten);
        const std::string written(line.substr(separator + 2));
        std::string name, version;
        bool valid = true;
        if (key == "commit") {
            const bool hexDigits = (written.size() == 40 || written.size() == 64) && AllOf(written, hex);
            valid = hexDigits || written == "unknown (not built from a git clone)";
            record.commit = hexDigits ? written : "";
        } else if (key == "tree") {
            valid = written == "clean" || written == texts.uncommitted;
            record.tree = written == "clean" ? TreeState::Clean : TreeState::Uncommitted;
        } else if (key == "SOURCE_DATE_EPOCH") {
            const bool seconds = !written.empty() && written.size() <= 19 && AllOf(written, digits);
            valid = seconds || written == "unset";
            if (seconds)
                record.epoch = std::stoull(written);  // nineteen digits at most: within 64 bits
        } else if (key == "Debian release") {
            valid = IsRelease(written, record.codename);
            record.release = written;
        } else if (key == "package" || key == "mastering") {
            valid = IsPackage(written, key == "package", name, version);
            (key == "package" ? record.packages : record.mastering)[name] = version;
            key += " " + name;
        } else {
            valid = written.size() == 64 && AllOf(written, hex);
            record.launcherSha256 = written;
        }
        if (!valid || seen[key])
            return RecordRefused{number, {}};
        seen[key] = true;
    }
    // A commit and its tree, or neither; the epoch, the release and the launcher's sum always.
    const std::size_t missing = lines.size() + 1;
    if (lines.empty() || !seen["commit"] || seen["tree"] != !record.commit.empty() || !seen["SOURCE_DATE_EPOCH"] ||
        !seen["Debian release"] || !seen["unsigned Project1.exe SHA-256"])
        return RecordRefused{missing, {}};
    record.lines = lines.size();
    return record;
}

}  // namespace proof
