// The window as data: the stored values, their pixels at several resolutions (worked out by hand
// from twips x DPI / 1440, edges rounded to the nearest pixel, sizes as edge differences), and
// the focus order.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "form_description.h"

namespace {

std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }

const ControlDescription& Control(std::wstring_view name)
{
    for (const ControlDescription& control : LauncherForm().controls)
        if (control.name == name)
            return control;
    throw std::runtime_error("no control " + Narrow(name));
}

TEST(LauncherForm, HoldsTheWindowAndItsFourControlsInStoredOrder)
{
    const FormDescription& form = LauncherForm();
    EXPECT_EQ(form.name, L"Form1");
    EXPECT_EQ(form.caption, L"Tolvanix");
    EXPECT_EQ(form.clientWidthTwips, 10275);
    EXPECT_EQ(form.clientHeightTwips, 6705);
    EXPECT_EQ(form.backColor, 0x8000000Fu);  // the system's button-face colour
    EXPECT_EQ(form.iconGroup, 1);

    const char* names[] = {"Command1", "Command2", "Command3", "Label1"};
    const char* captions[] = {"English", "German", "French", "Choose your Installation language."};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Narrow(form.controls[i].name), names[i]);
        EXPECT_EQ(Narrow(form.controls[i].caption), captions[i]);
        EXPECT_EQ(form.controls[i].caption.find(L'&'), std::wstring_view::npos) << "no access keys";
    }
    const ControlDescription& label = Control(L"Label1");
    EXPECT_EQ(label.kind, ControlKind::Label);
    EXPECT_EQ(label.textColor, 0x00FFFFFFu);
    EXPECT_EQ(label.backStyle, BackStyle::Transparent);
}

TEST(LauncherForm, FontsAreRequestedExactlyAsStored)
{
    for (const wchar_t* button : {L"Command1", L"Command2", L"Command3"}) {
        const FontDescription& font = Control(button).font;
        EXPECT_EQ(font.faceName, "MS Sans Serif");
        EXPECT_EQ(font.sizeTenThousandthsPoint, 180000);
        EXPECT_EQ(font.weight, 700);
        EXPECT_EQ(font.charset, 0);
        EXPECT_FALSE(font.italic || font.underline || font.strikethrough);
    }
    const FontDescription& label = Control(L"Label1").font;
    EXPECT_EQ(label.faceName, "@Arial Unicode MS");
    EXPECT_EQ(label.sizeTenThousandthsPoint, 157500);
    EXPECT_EQ(label.weight, 700);
    EXPECT_EQ(FontHeightPixels(Control(L"Command1").font, 96), 24);
    EXPECT_EQ(FontHeightPixels(label, 96), 21);
    EXPECT_EQ(FontHeightPixels(label, 120), 26);  // 26.25
    EXPECT_EQ(FontHeightPixels(Control(L"Command1").font, 144), 36);
}

TEST(LayoutArithmetic, ButtonsAndLabelShareAnEdgeAndStandEvenlyApart)
{
    const ControlDescription& c1 = Control(L"Command1");
    const ControlDescription& c2 = Control(L"Command2");
    const ControlDescription& c3 = Control(L"Command3");
    const ControlDescription& label = Control(L"Label1");
    for (const ControlDescription* c : {&c1, &c2, &c3, &label})
        EXPECT_EQ(c->leftTwips, 3360);
    EXPECT_EQ(c2.topTwips - c1.topTwips, 960);
    EXPECT_EQ(c3.topTwips - c2.topTwips, 960);
    EXPECT_EQ(c2.topTwips - (c1.topTwips + c1.heightTwips), 465);
    EXPECT_EQ(label.topTwips + label.heightTwips, 2415);
    EXPECT_EQ(c1.topTwips - 2415, 345);
    for (const ControlDescription& c : LauncherForm().controls) {
        EXPECT_EQ(c.leftTwips % 15, 0);
        EXPECT_EQ(c.topTwips % 15, 0);
        EXPECT_EQ(c.widthTwips % 15, 0);
        EXPECT_EQ(c.heightTwips % 15, 0);
    }
}

struct Expected {
    int dpiX, dpiY;
    PixelSize client;
    PixelRect label, command1, command2, command3;
};

TEST(Pixels, MatchTheHandWorkedValuesAtEachResolution)
{
    const Expected cases[] = {
        {96, 96, {685, 447}, {224, 120, 417, 41}, {224, 184, 369, 33}, {224, 248, 369, 33}, {224, 312, 369, 33}},
        // 10275 x 120 / 1440 = 856.25; label right 9615 -> 801.25; button bottoms 271.25, 351.25, 431.25
        {120, 120, {856, 559}, {280, 150, 521, 51}, {280, 230, 461, 41}, {280, 310, 461, 41}, {280, 390, 461, 41}},
        // halves go up: 1027.5 -> 1028, label right 961.5 -> 962, bottoms 325.5 -> 326
        {144, 144, {1028, 671}, {336, 180, 626, 62}, {336, 276, 554, 50}, {336, 372, 554, 50}, {336, 468, 554, 50}},
        {192, 192, {1370, 894}, {448, 240, 834, 82}, {448, 368, 738, 66}, {448, 496, 738, 66}, {448, 624, 738, 66}},
        // horizontal and vertical resolutions are converted apart
        {96, 192, {685, 894}, {224, 240, 417, 82}, {224, 368, 369, 66}, {224, 496, 369, 66}, {224, 624, 369, 66}},
        {144, 96, {1028, 447}, {336, 120, 626, 41}, {336, 184, 554, 33}, {336, 248, 554, 33}, {336, 312, 554, 33}},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(std::to_string(e.dpiX) + " x " + std::to_string(e.dpiY) + " DPI");
        EXPECT_EQ(ClientPixels(LauncherForm(), e.dpiX, e.dpiY), e.client);
        EXPECT_EQ(ControlPixels(Control(L"Label1"), e.dpiX, e.dpiY), e.label);
        EXPECT_EQ(ControlPixels(Control(L"Command1"), e.dpiX, e.dpiY), e.command1);
        EXPECT_EQ(ControlPixels(Control(L"Command2"), e.dpiX, e.dpiY), e.command2);
        EXPECT_EQ(ControlPixels(Control(L"Command3"), e.dpiX, e.dpiY), e.command3);
    }
}

TEST(Pixels, EdgesThatMeetInTwipsMeetInPixels)
{
    // Two controls side by side never gain a gap or an overlap from rounding, at any resolution.
    for (int dpi = 72; dpi <= 288; ++dpi) {
        const ControlDescription left{L"a", ControlKind::CommandButton, L"", 100, 100, 1007, 333, 0, kButtonFont};
        const ControlDescription right{L"b", ControlKind::CommandButton, L"", 1107, 433, 999, 10, 1, kButtonFont};
        const PixelRect a = ControlPixels(left, dpi, dpi);
        const PixelRect b = ControlPixels(right, dpi, dpi);
        EXPECT_EQ(a.left + a.width, b.left) << dpi;
        EXPECT_EQ(a.top + a.height, b.top) << dpi;
    }
}

TEST(FocusOrder, RunsFrenchGermanEnglishAndNeverReachesTheLabel)
{
    const auto sequence = TabSequence(LauncherForm());
    ASSERT_EQ(sequence.size(), 3u);
    EXPECT_EQ(Narrow(sequence[0]->caption), "French");
    EXPECT_EQ(Narrow(sequence[1]->caption), "German");
    EXPECT_EQ(Narrow(sequence[2]->caption), "English");
    EXPECT_EQ(Control(L"Label1").tabIndex, 3);
    EXPECT_EQ(Narrow(InitialFocus(LauncherForm())->name), "Command3");

    std::vector<int> indices;
    for (const ControlDescription& c : LauncherForm().controls)
        indices.push_back(c.tabIndex);
    std::sort(indices.begin(), indices.end());
    EXPECT_EQ(std::adjacent_find(indices.begin(), indices.end()), indices.end()) << "tab indices repeat";
}

}  // namespace
