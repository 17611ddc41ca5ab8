// The launcher window built in this process, where Wine lets a test look at what another
// process would not show: the fonts and icons the window holds, what its paint draws, and how
// many GDI objects it keeps.

#include <gtest/gtest.h>

#include <vector>

#include "support.h"
#include "window/launcher_window_win32.h"

namespace {

// Stands in for the Windows shell; a press is only recorded.
class PressRecorder : public LauncherShell {
public:
    std::vector<std::string> calls;
    std::optional<WindowHandle> OwnerWindow() override { return 1; }
    std::optional<std::wstring> LauncherDirectory() override { return L"D:\\media"; }
    std::intptr_t ShellLaunch(const LaunchRequest& request) override
    {
        calls.push_back(request.file);
        return 42;
    }
    void EndProgram() override { calls.push_back("end"); }
    void ReportFatalError(std::wstring_view) override { calls.push_back("fatal"); }
};

class InProcessWindow : public testing::Test {
protected:
    void SetUp() override
    {
        window = LauncherWindow::Create(GetModuleHandleW(nullptr), shell);
        ASSERT_NE(window, nullptr);
        LauncherWindow::Show(window);
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ;  // the WM_QUIT of the destroyed window
    }
    std::vector<HWND> Buttons() const
    {
        std::vector<HWND> buttons;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            buttons.push_back(child);
        return buttons;
    }
    HWND ButtonCaptioned(const wchar_t* caption) const { return FindWindowExW(window, nullptr, L"Button", caption); }

    PressRecorder shell;
    HWND window = nullptr;
};

LOGFONTW FontOf(HFONT font)
{
    LOGFONTW description{};
    GetObjectW(font, sizeof description, &description);
    return description;
}

TEST_F(InProcessWindow, ButtonsAndPromptUseTheFontsAsRequested)
{
    for (const wchar_t* caption : {L"English", L"German", L"French"}) {
        HWND button = ButtonCaptioned(caption);
        ASSERT_NE(button, nullptr) << Utf8(caption);
        const LOGFONTW font = FontOf(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -24) << "18 pt as a character height at 96 DPI";
        EXPECT_EQ(font.lfWeight, 700);
        EXPECT_EQ(font.lfCharSet, 0);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_EQ(font.lfEscapement, 0);
        EXPECT_EQ(font.lfOrientation, 0);
    }
    const LOGFONTW label = FontOf(LauncherWindow::From(window)->LabelFont());
    EXPECT_STREQ(label.lfFaceName, L"@Arial Unicode MS");
    EXPECT_EQ(label.lfHeight, -21) << "15.75 pt as a character height at 96 DPI";
    EXPECT_EQ(label.lfWeight, 700);
}

TEST_F(InProcessWindow, CarriesTheSmallAndTheLargeIcon)
{
    for (auto [kind, size] : {std::pair{ICON_SMALL, 16}, std::pair{ICON_BIG, 32}}) {
        const SIZE icon = IconSize(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)));
        EXPECT_EQ(icon.cx, size);
        EXPECT_EQ(icon.cy, size);
    }
}

TEST_F(InProcessWindow, ButtonsArePlainTabStopsInTabOrder)
{
    const std::vector<HWND> buttons = Buttons();
    ASSERT_EQ(buttons.size(), 3u) << "the prompt is drawn, not a window";
    // Dialog navigation walks the child windows in order: French, German, English.
    EXPECT_EQ(buttons[0], ButtonCaptioned(L"French"));
    EXPECT_EQ(buttons[1], ButtonCaptioned(L"German"));
    EXPECT_EQ(buttons[2], ButtonCaptioned(L"English"));
    for (HWND button : buttons) {
        const LONG style = GetWindowLongW(button, GWL_STYLE);
        EXPECT_TRUE(style & WS_TABSTOP);
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "never a default button";
        const int id = GetDlgCtrlID(button);
        EXPECT_NE(id, IDOK);
        EXPECT_NE(id, IDCANCEL);
    }
}

TEST_F(InProcessWindow, PaintDrawsPictureBackgroundAndWhitePrompt)
{
    // Painted into a memory bitmap larger than the picture, as a maximised window would be.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 900, 600);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, canvas);
    const RECT all{0, 0, 900, 600};
    LauncherWindow::From(window)->PaintContent(memory, all);

    const COLORREF field = RGB(61, 102, 171), buttonFace = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(GetPixel(memory, 684, 446), field) << "the client's bottom-right pixel";
    EXPECT_EQ(GetPixel(memory, 685, 100), field) << "the picture's last column";
    EXPECT_EQ(GetPixel(memory, 686, 100), buttonFace) << "beyond the picture";
    EXPECT_EQ(GetPixel(memory, 300, 450), buttonFace) << "below the picture";
    EXPECT_EQ(GetPixel(memory, 899, 599), buttonFace);
    int white = 0;
    for (int y = 120; y < 161; ++y)
        for (int x = 224; x < 641; ++x)
            white += GetPixel(memory, x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 200) << "white prompt pixels in the label's rectangle";
    for (int x = 224; x < 641; ++x)  // nothing of the prompt strays outside its rectangle
        EXPECT_EQ(GetPixel(memory, x, 161), field) << x;

    SelectObject(memory, previous);
    DeleteObject(canvas);
    DeleteDC(memory);
}

TEST_F(InProcessWindow, RepaintsAndResizesKeepNoGdiObjects)
{
    const int before = handle_count::gdiObjectsAlive.load();
    EXPECT_EQ(before, 4) << "two fonts, the picture and its DC";
    const int before32 = [] {
        // Wine answers GetGuiResources with 0, so this only holds where it counts.
        return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    }();
    for (int i = 0; i < 300; ++i) {
        SetWindowPos(window, nullptr, 0, 0, 300 + i * 2, 200 + i, SWP_NOMOVE | SWP_NOZORDER);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    ShowWindow(window, SW_MAXIMIZE);
    UpdateWindow(window);
    ShowWindow(window, SW_RESTORE);
    UpdateWindow(window);
    EXPECT_EQ(handle_count::gdiObjectsAlive.load(), before);
    EXPECT_LE(static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)), before32);

    DestroyWindow(window);
    EXPECT_EQ(handle_count::gdiObjectsAlive.load(), 0) << "the window releases what it owns";
}

TEST_F(InProcessWindow, AClickedButtonLaunchesItsOwnLanguageOnly)
{
    SendMessageW(ButtonCaptioned(L"German"), BM_CLICK, 0, 0);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"D:\\media\\German\\setup.exe", "end"}));
    shell.calls.clear();
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);  // Escape
    EXPECT_TRUE(shell.calls.empty());
}

}  // namespace
