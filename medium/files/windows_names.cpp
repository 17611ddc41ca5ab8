// The rules a vendor's file names are held to, from Windows' naming rules (reserved device names,
// the characters it refuses, the trailing dot and space it drops) and from what the image's Joliet
// names can hold whole (UCS-2, no semicolon, at most maxJolietUnits).

#include "windows_names.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace medium {

std::optional<std::u16string> Utf16(std::string_view name)
{
    std::u16string units;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (length == 0 || name.size() - i < static_cast<std::size_t>(length))
            return std::nullopt;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = c << 6 | (next & 0x3F);
        }
        // No overlong form, no surrogate written as a character, nothing past U+10FFFF.
        static constexpr std::array<char32_t, 5> least{0, 0, 0x80, 0x800, 0x10000};
        if (c < least[length] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
            return std::nullopt;
        if (c < 0x10000) {
            units += static_cast<char16_t>(c);
        } else {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        i += static_cast<std::size_t>(length);
    }
    return units;
}

std::u16string CaseKey(std::u16string_view name)
{
    std::u16string key(name);
    for (char16_t& unit : key)
        if (unit < 0xD800 || unit >= 0xE000)
            unit = static_cast<char16_t>(std::towupper(static_cast<wint_t>(unit)));
    return key;
}

namespace {

// The device names that Windows opens in place of a file of that name, with any extension: the
// part before the first dot, its trailing spaces dropped, in any case. COM and LPT take the
// superscript digits too, and the console's two names are devices as well.
bool IsDeviceName(std::u16string_view name)
{
    std::u16string base(name.substr(0, std::min(name.find(u'.'), name.size())));
    while (!base.empty() && base.back() == u' ')
        base.pop_back();
    base = CaseKey(base);
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" || base == u"CONOUT$")
        return true;
    if (base.size() != 4 || (base.substr(0, 3) != u"COM" && base.substr(0, 3) != u"LPT"))
        return false;
    const char16_t digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

}  // namespace

NameRule RuleBroken(std::string_view name)
{
    const std::optional<std::u16string> units = Utf16(name);
    if (!units)
        return NameRule::NotUtf8;
    if (units->empty())
        return NameRule::Empty;
    for (char16_t unit : *units) {
        if (unit < 0x20)
            return NameRule::ControlCharacter;
        if (std::u16string_view(u"<>:\"/\\|?*").find(unit) != std::u16string_view::npos)
            return NameRule::ForbiddenCharacter;
    }
    if (units->back() == u'.' || units->back() == u' ')
        return NameRule::TrailingDotOrSpace;
    if (IsDeviceName(*units))
        return NameRule::DeviceName;
    if (units->find(u';') != std::u16string::npos)
        return NameRule::Semicolon;
    if (std::any_of(units->begin(), units->end(), [](char16_t unit) { return unit >= 0xD800 && unit < 0xE000; }))
        return NameRule::BeyondBmp;
    if (units->size() > maxJolietUnits)
        return NameRule::TooLong;
    return NameRule::None;
}

bool HoldsControlByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string WhyNotCarried(std::string_view name)
{
    switch (RuleBroken(name)) {
    case NameRule::None:
        return {};
    case NameRule::NotUtf8:
        return "is not valid UTF-8, so it has no reading as the Unicode name Windows reads";
    case NameRule::Empty:
        return "is empty";
    case NameRule::ControlCharacter:
        return "holds a control character, which Windows does not allow in a name";
    case NameRule::ForbiddenCharacter: {
        const auto at = name.find_first_of("<>:\"/\\|?*");
        return std::string("holds the character ") + name[at] +
               ", which Windows does not allow in a name (nor any of < > : \" / \\ | ? *)";
    }
    case NameRule::TrailingDotOrSpace:
        return "ends with a dot or a space, which Windows drops, so that it reads another name";
    case NameRule::DeviceName:
        return "is a reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9, with or "
               "without an extension): Windows opens the device, not the file";
    case NameRule::Semicolon:
        return "holds a semicolon, which the image's Windows names (Joliet) cannot hold: it would be renamed";
    case NameRule::BeyondBmp:
        return "holds a character beyond U+FFFF, which the image's Windows names (Joliet, UCS-2) cannot hold: it would "
               "be renamed";
    case NameRule::TooLong:
        return "is " + std::to_string(Utf16(name)->size()) + " characters long (in UTF-16), and the image's Windows "
               "names (Joliet) hold at most " + std::to_string(maxJolietUnits) + ": it would be cut short";
    }
    return {};
}

}  // namespace medium
