// Whether a file's name stands on the medium as written, as Windows and the image's Windows names
// (Joliet) read it. Free of any platform.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace medium {

// Joliet names longer than this xorriso cuts short, even with -joliet-long; Windows reads up to
// 110 UTF-16 units (220 bytes fill a directory record of 255).
inline constexpr std::size_t maxJolietUnits = 103;
// The longest path that Windows opens by its usual API: MAX_PATH less the terminating NUL.
inline constexpr std::size_t maxPathUnits = 259;

// The rule a name breaks, the first of them in this order.
enum class NameRule {
    None,
    NotUtf8,
    Empty,
    ControlCharacter,    // below U+0020
    ForbiddenCharacter,  // < > : " / \ | ? *
    TrailingDotOrSpace,
    DeviceName,
    Semicolon,
    BeyondBmp,
    TooLong,             // over maxJolietUnits
};

// NAME as UTF-16, or nothing when it is not valid UTF-8.
std::optional<std::u16string> Utf16(std::string_view name);

NameRule RuleBroken(std::string_view name);

// Whether TEXT holds a byte below 0x20: a control character below U+0020, UTF-8 or not.
bool HoldsControlByte(std::string_view text);

// Why NAME cannot stand on the medium as written (its rule, in words), or empty when it can.
std::string WhyNotCarried(std::string_view name);

// NAME as Windows compares names: each UTF-16 unit upcased. Needs a UTF-8 LC_CTYPE.
std::u16string CaseKey(std::u16string_view name);

}  // namespace medium
