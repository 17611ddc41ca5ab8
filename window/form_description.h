#pragma once
// The launcher's one window and its controls, as data. The Win32 window is built from this alone.
// Geometry is in twips (1/1440 inch) and turned into pixels at the display's DPI by the
// functions below, so the window keeps its proportions at any resolution.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "language_choice.h"
#include "resource_ids.h"

struct FontDescription {
    std::string_view faceName;           // 8-bit, requested exactly as stored
    std::int32_t sizeTenThousandthsPoint;  // 18 pt is 180000
    std::int16_t weight;                 // 700 is bold
    std::int16_t charset;                // 0 is ANSI
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
};

enum class ControlKind { CommandButton, Label };
enum class BackStyle { Transparent, Opaque };

// Colours are 0x00BBGGRR; with the top bit set, the low byte is a system colour index instead.
inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;
inline constexpr std::uint32_t kButtonFaceColor = kSystemColorFlag | 15u;
inline constexpr std::uint32_t kWhite = 0x00FFFFFFu;

struct ControlDescription {
    std::wstring_view name;
    ControlKind kind;
    std::wstring_view caption;
    std::int16_t leftTwips, topTwips, widthTwips, heightTwips;  // relative to the client area
    std::int16_t tabIndex;
    FontDescription font;
    std::uint32_t textColor = 0;  // labels only
    BackStyle backStyle = BackStyle::Opaque;  // labels only; text is always left aligned
};

enum class StartPosition { CenterScreen };
enum class FrameStyle { Sizable };  // title bar, system menu, minimise, maximise, close; in the taskbar

struct FormDescription {
    std::wstring_view name;
    std::wstring_view caption;
    std::int32_t clientWidthTwips, clientHeightTwips;
    StartPosition startPosition;
    FrameStyle frame;
    std::uint32_t backColor;
    // The picture is the welcome picture (resources/welcome_picture.h), drawn 1:1 at the client
    // origin at the size it states, neither stretched nor tiled.
    int iconGroup;
    std::array<ControlDescription, 4> controls;  // in stored order
};

inline constexpr FontDescription kButtonFont{"MS Sans Serif", 180000, 700, 0};
inline constexpr FontDescription kLabelFont{"@Arial Unicode MS", 157500, 700, 0};

// Tab order runs upwards, so Tab goes French, German, English, and French has the focus first.
inline constexpr FormDescription kLauncherForm{
    L"Form1", L"Tolvanix", 10275, 6705, StartPosition::CenterScreen, FrameStyle::Sizable, kButtonFaceColor, IDI_LAUNCHER,
    {{
        {kLanguageChoices[0].controlName, ControlKind::CommandButton, kLanguageChoices[0].caption, 3360, 2760, 5535, 495, 2, kButtonFont},
        {kLanguageChoices[1].controlName, ControlKind::CommandButton, kLanguageChoices[1].caption, 3360, 3720, 5535, 495, 1, kButtonFont},
        {kLanguageChoices[2].controlName, ControlKind::CommandButton, kLanguageChoices[2].caption, 3360, 4680, 5535, 495, 0, kButtonFont},
        {L"Label1", ControlKind::Label, L"Choose your Installation language.", 3360, 1800, 6255, 615, 3, kLabelFont,
         kWhite, BackStyle::Transparent},
    }},
};

const FormDescription& LauncherForm();

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect&) const = default;
};
struct PixelSize {
    int width, height;
    bool operator==(const PixelSize&) const = default;
};

// Rounding rule: every edge is converted on its own to the nearest pixel (halves upwards), and a
// size is the difference of its two converted edges, so edges that meet in twips meet in pixels.
int TwipsToPixels(std::int32_t twips, int dpi);
PixelRect ControlPixels(const ControlDescription& control, int dpiX, int dpiY);
PixelSize ClientPixels(const FormDescription& form, int dpiX, int dpiY);
// A font's character height in pixels: size in points x vertical DPI / 72, to the nearest pixel.
int FontHeightPixels(const FontDescription& font, int dpiY);

// The controls that take focus, by ascending tab index; labels hold an index but never focus.
std::vector<const ControlDescription*> TabSequence(const FormDescription& form);
const ControlDescription* InitialFocus(const FormDescription& form);
