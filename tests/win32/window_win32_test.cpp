// The launcher window built in this process, where a test can look at what another process would
// not show: the fonts and icons the window uses, what it draws (printed into the test's own DC, as
// PrintWindow would have it), and how many GDI objects it keeps. Geometry is taken at the DPI the
// window is told, through the layout's conversions, whose values the native tests pin down.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "form_description.h"
#include "launcher_window_win32.h"
#include "recording_shell.h"
#include "support.h"
#include "welcome_picture.h"

namespace {

class InProcessWindow : public testing::Test {
protected:
    void SetUp() override { Open(); }
    void Open()
    {
        window = LauncherWindow::Create(GetModuleHandleW(nullptr), shell, LoadWelcomePicture, Kernel32Export);
        ASSERT_NE(window, nullptr);
        LauncherWindow::Show(window);
        UpdateWindow(window);
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

    RecordingShell shell;
    HWND window = nullptr;
};

LOGFONTW FontOf(HFONT font)
{
    LOGFONTW description{};
    GetObjectW(font, sizeof description, &description);
    return description;
}

int CALLBACK CollectFont(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM fonts)
{
    if (record->iType == EMR_EXTCREATEFONTINDIRECTW)
        reinterpret_cast<std::vector<LOGFONTW>*>(fonts)->push_back(
            reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record)->elfw.elfLogFont);
    return 1;
}

// The fonts the window draws its client area with, as a metafile of it records them.
std::vector<LOGFONTW> FontsDrawnBy(HWND window)
{
    HDC recorder = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(recorder), PRF_CLIENT);
    HENHMETAFILE drawing = CloseEnhMetaFile(recorder);
    std::vector<LOGFONTW> fonts;
    EnumEnhMetaFile(nullptr, drawing, CollectFont, &fonts, nullptr);
    DeleteEnhMetaFile(drawing);
    return fonts;
}

TEST_F(InProcessWindow, ButtonsAndPromptUseTheFontsAsRequested)
{
    const int dpiY = ScreenDpi().cy;
    for (const wchar_t* caption : {L"English", L"German", L"French"}) {
        HWND button = ButtonCaptioned(caption);
        ASSERT_NE(button, nullptr) << Utf8(caption);
        const LOGFONTW font = FontOf(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
        EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
        EXPECT_EQ(font.lfHeight, -FontHeightPixels(kButtonFont, dpiY)) << "18 pt as a character height at " << dpiY << " DPI";
        EXPECT_EQ(font.lfWeight, 700);
        EXPECT_EQ(font.lfCharSet, 0);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_EQ(font.lfEscapement, 0);
        EXPECT_EQ(font.lfOrientation, 0);
    }
    const std::vector<LOGFONTW> drawn = FontsDrawnBy(window);
    ASSERT_EQ(drawn.size(), 1u) << "the prompt is the only text the window draws itself";
    const LOGFONTW& label = drawn[0];
    EXPECT_STREQ(label.lfFaceName, L"@Arial Unicode MS");
    EXPECT_EQ(label.lfHeight, -FontHeightPixels(kLabelFont, dpiY)) << "15.75 pt as a character height at " << dpiY << " DPI";
    EXPECT_EQ(label.lfWeight, 700);
    EXPECT_EQ(label.lfEscapement, 0);
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

RECT PromptRect() { return LayoutRect(L"Label1"); }

// The box around the points of a colour in a rectangle of a DC; empty when there are none.
RECT ColourBox(HDC dc, const RECT& within, COLORREF colour)
{
    RECT box{within.right, within.bottom, within.left, within.top};
    for (int y = within.top; y < within.bottom; ++y)
        for (int x = within.left; x < within.right; ++x)
            if (GetPixel(dc, x, y) == colour)
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                       std::max<LONG>(box.bottom, y + 1)};
    return box;
}

// The prompt where the layout puts it: its caption drawn by the test in `text` on `field`, in a
// font made from its description, with the cell's top-left corner at the label's.
RECT PromptWhereTheLayoutPutsIt(HDC like, const RECT& prompt, COLORREF text, COLORREF field)
{
    const SIZE dpi = ScreenDpi();
    const ControlDescription* label = nullptr;
    for (const ControlDescription& control : LauncherForm().controls)
        if (control.kind == ControlKind::Label)
            label = &control;
    HDC dc = CreateCompatibleDC(like);
    HBITMAP canvas = CreateCompatibleBitmap(like, prompt.right + 10, prompt.bottom + 10);
    HGDIOBJ previousBitmap = SelectObject(dc, canvas);
    HBRUSH fieldBrush = CreateSolidBrush(field);
    const RECT all{0, 0, prompt.right + 10, prompt.bottom + 10};
    FillRect(dc, &all, fieldBrush);
    DeleteObject(fieldBrush);
    const std::string face(label->font.faceName);
    HFONT font = CreateFontA(-FontHeightPixels(label->font, dpi.cy), 0, 0, 0, label->font.weight, FALSE, FALSE, FALSE,
                             static_cast<DWORD>(label->font.charset), 0, 0, 0, 0, face.c_str());
    HGDIOBJ previousFont = SelectObject(dc, font);
    SetTextColor(dc, text);
    SetBkMode(dc, TRANSPARENT);
    const std::wstring caption(label->caption);
    TextOutW(dc, prompt.left, prompt.top, caption.c_str(), static_cast<int>(caption.size()));
    const RECT box = ColourBox(dc, prompt, text);
    SelectObject(dc, previousFont);
    DeleteObject(font);
    SelectObject(dc, previousBitmap);
    DeleteObject(canvas);
    DeleteDC(dc);
    return box;
}

// A colour the window never draws.
constexpr COLORREF kUnpainted = RGB(1, 2, 3);

// The client area as the window prints it into a bitmap of the test's, larger than the picture,
// as a maximised window's would be; the bitmap is first filled with kUnpainted.
class PrintedClient {
public:
    explicit PrintedClient(HWND window)
    {
        const RECT prompt = PromptRect();
        size = {std::max<LONG>(900, prompt.right + 100), std::max<LONG>(600, prompt.bottom + 100)};
        RECT outer{0, 0, size.cx, size.cy};
        AdjustWindowRectEx(&outer, GetWindowLongW(window, GWL_STYLE), FALSE, GetWindowLongW(window, GWL_EXSTYLE));
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        canvas_ = CreateCompatibleBitmap(screen, size.cx, size.cy);
        ReleaseDC(nullptr, screen);
        previous_ = SelectObject(dc, canvas_);
        SetDCBrushColor(dc, kUnpainted);
        const RECT all{0, 0, size.cx, size.cy};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    }
    ~PrintedClient()
    {
        SelectObject(dc, previous_);
        DeleteObject(canvas_);
        DeleteDC(dc);
    }
    PrintedClient(const PrintedClient&) = delete;
    PrintedClient& operator=(const PrintedClient&) = delete;
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }

    SIZE size{};
    HDC dc = nullptr;

private:
    HBITMAP canvas_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

TEST_F(InProcessWindow, PaintDrawsPictureBackgroundAndWhitePrompt)
{
    const RECT prompt = PromptRect();
    const PrintedClient printed(window);
    for (int y = 0; y < printed.size.cy; y += 7)
        for (int x = 0; x < printed.size.cx; x += 7)
            ASSERT_NE(printed.At(x, y), kUnpainted) << "the paint leaves " << x << "," << y << " uncovered";

    // The picture is drawn 1:1 whatever the DPI: its points do not scale.
    const COLORREF field = kWelcomeFieldColor, buttonFace = GetSysColor(COLOR_BTNFACE), white = RGB(255, 255, 255);
    EXPECT_EQ(printed.At(684, 446), field) << "the picture's field near its corner";
    EXPECT_EQ(printed.At(685, 100), field) << "the picture's last column";
    EXPECT_EQ(printed.At(686, 100), buttonFace) << "beyond the picture";
    EXPECT_EQ(printed.At(300, 450), buttonFace) << "below the picture";
    EXPECT_EQ(printed.At(printed.size.cx - 1, printed.size.cy - 1), buttonFace);
    int whitePoints = 0;
    for (int y = prompt.top; y < prompt.bottom; ++y)
        for (int x = prompt.left; x < prompt.right; ++x)
            whitePoints += printed.At(x, y) == white;
    EXPECT_GT(whitePoints, 200) << "white prompt pixels in the label's rectangle";
    // The prompt's text stands where the layout puts it, to the pixel.
    const RECT text = ColourBox(printed.dc, prompt, white), expected = PromptWhereTheLayoutPutsIt(printed.dc, prompt, white, field);
    EXPECT_TRUE(EqualRect(&text, &expected)) << "the prompt's text spans " << Box(text) << ", where the layout puts it at " << Box(expected);
    for (int x = prompt.left; x < prompt.right; ++x)  // nothing of the prompt strays outside its rectangle
        EXPECT_EQ(printed.At(x, prompt.bottom), x < 686 && prompt.bottom < 450 ? field : buttonFace) << x;
    // The prompt is drawn without a background: the field shows between and inside its letters.
    int fieldInText = 0;
    for (int y = text.top; y < text.bottom; ++y)
        for (int x = text.left; x < text.right; ++x)
            fieldInText += printed.At(x, y) == field;
    EXPECT_GT(fieldInText, (text.right - text.left) * (text.bottom - text.top) / 3)
        << "the field shows at " << fieldInText << " points of the prompt's line";
}

TEST_F(InProcessWindow, NothingIsErasedBeforeThePaint)
{
    // An erase before each paint would flicker on every resize and repaint: the class has no
    // brush, and the window answers the erase without drawing.
    EXPECT_EQ(GetClassLongPtrW(window, GCLP_HBRBACKGROUND), 0) << "the window's class has a background brush";
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, canvas);
    SetPixel(memory, 8, 8, RGB(1, 2, 3));
    SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(GetPixel(memory, 8, 8), RGB(1, 2, 3)) << "the erase drew";
    SelectObject(memory, previous);
    DeleteObject(canvas);
    DeleteDC(memory);
}

// A button whose own paint is held back: it draws nothing, so whatever its pixels show was left
// there by somebody else.
WNDPROC buttonProcedure = nullptr;
LRESULT CALLBACK PaintlessButton(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        ValidateRect(button, nullptr);
        return 0;
    }
    return message == WM_ERASEBKGND ? 1 : CallWindowProcW(buttonProcedure, button, message, wParam, lParam);
}

// Each button's paint held back, and its face filled with a mark; and back again.
constexpr COLORREF kMark = RGB(255, 0, 255);
void MarkButtons(const std::vector<HWND>& buttons)
{
    for (HWND button : buttons) {
        buttonProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintlessButton)));
        HDC dc = GetDC(button);
        RECT inside;
        GetClientRect(button, &inside);
        SetDCBrushColor(dc, kMark);
        FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        ReleaseDC(button, dc);
    }
}
void UnmarkButtons(const std::vector<HWND>& buttons)
{
    for (HWND button : buttons)
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(buttonProcedure));
}
COLORREF MiddleOf(HWND button)
{
    RECT inside;
    GetClientRect(button, &inside);
    return WindowPixel(button, inside.right / 2, inside.bottom / 2);
}

TEST_F(InProcessWindow, ARepaintLeavesTheButtonsToPaintThemselves)
{
    // A window that painted its picture over its buttons before they drew themselves again would
    // flicker on every repaint: with the buttons' paint held back, their pixels stay as they were.
    MarkButtons(Buttons());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (HWND button : Buttons())
        EXPECT_EQ(Rgb(MiddleOf(button)), Rgb(kMark)) << "the window's paint covered a button";
    UnmarkButtons(Buttons());
}

TEST_F(InProcessWindow, RepaintsAndResizesKeepNoGdiObjects)
{
    const auto paintsAndResizes = [&] {
        for (int i = 0; i < 100; ++i) {
            SetWindowPos(window, nullptr, 0, 0, 300 + i * 6, 200 + i * 3, SWP_NOMOVE | SWP_NOZORDER);
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        }
        ShowWindow(window, SW_MAXIMIZE);
        UpdateWindow(window);
        ShowWindow(window, SW_RESTORE);
        UpdateWindow(window);
    };
    // What the system makes once and keeps, it makes in a first round with a window of the same
    // kind (Wine 10 keeps two objects from a window's first maximising until the window goes,
    // and a plain window of its own costs it the same): leaks are what later rounds add.
    paintsAndResizes();
    DestroyWindow(window);
    const int roomWithout = GdiHandlesFree();
    Open();
    const int roomWith = GdiHandlesFree();
    EXPECT_GE(roomWithout - roomWith, 4) << "two fonts, the picture and its DC";
    paintsAndResizes();
    const int roomAfterARound = GdiHandlesFree();
    paintsAndResizes();
    paintsAndResizes();
    EXPECT_EQ(GdiHandlesFree(), roomAfterARound) << "painting and resizing keep GDI objects";

    DestroyWindow(window);
    EXPECT_EQ(GdiHandlesFree(), roomWithout) << "the window does not release everything it holds";
}

TEST_F(InProcessWindow, AClickedButtonLaunchesItsOwnLanguageOnly)
{
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);  // Escape
    EXPECT_TRUE(shell.calls.empty());
    SendMessageW(ButtonCaptioned(L"German"), BM_CLICK, 0, 0);
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].file, "D:\\media\\German\\setup.exe");
    EXPECT_EQ(shell.calls.back(), "EndProgram");
}

// --- High contrast ------------------------------------------------------------------------

// A high-contrast theme's colours: a dialog's face and its text, and the text of buttons, which
// differs here so that the wrong one shows.
struct Theme {
    const char* name;
    COLORREF face, windowText, buttonText;
};
const Theme kThemes[] = {
    {"LightOnDark", RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 255, 255)},
    {"DarkOnLight", RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 128)},
};

// The system's answers as a high-contrast theme gives them, which Wine never does (it answers
// SPI_GETHIGHCONTRAST with no flags and refuses SPI_SETHIGHCONTRAST). They stand in for this
// program's imports of SystemParametersInfoW and GetSysColor, through which the window's code,
// linked into it, asks; and they count what is asked.
const Theme* theme = nullptr;  // high contrast is off without one
int asked = 0;
decltype(&SystemParametersInfoW) systemParametersInfo = nullptr;
decltype(&GetSysColor) sysColor = nullptr;

BOOL WINAPI ThemeParametersInfo(UINT action, UINT size, void* value, UINT flags)
{
    if (action != SPI_GETHIGHCONTRAST)
        return systemParametersInfo(action, size, value, flags);
    ++asked;
    static_cast<HIGHCONTRASTW*>(value)->dwFlags = HCF_AVAILABLE | (theme ? HCF_HIGHCONTRASTON : 0);
    return TRUE;
}

DWORD WINAPI ThemeColour(int index)
{
    ++asked;
    if (theme && (index == COLOR_3DFACE || index == COLOR_WINDOWTEXT || index == COLOR_BTNTEXT))
        return index == COLOR_3DFACE ? theme->face : index == COLOR_WINDOWTEXT ? theme->windowText : theme->buttonText;
    return sysColor(index);
}

// This program's import of dll!function pointed at `replacement` while the object lives.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, const void* replacement)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name && !slot_; ++entry) {
            if (_stricmp(reinterpret_cast<char*>(base + entry->Name), dll) != 0)
                continue;
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* bound = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; name->u1.AddressOfData && !slot_; ++name, ++bound)
                if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                    strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function) == 0)
                    slot_ = reinterpret_cast<const void**>(&bound->u1.Function);
        }
        if (slot_)
            original_ = Swap(replacement);
    }
    ~ImportPatch()
    {
        if (slot_)
            Swap(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    template <typename Function>
    Function Original() const { return reinterpret_cast<Function>(const_cast<void*>(original_)); }

private:
    const void* Swap(const void* to)
    {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        const void* was = std::exchange(*slot_, to);
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
        return was;
    }
    const void** slot_ = nullptr;
    const void* original_ = nullptr;
};

// The window made while the theme's answers stand in for the system's.
class HighContrast : public InProcessWindow {
protected:
    void SetUp() override
    {
        systemParametersInfo = parameters_.Original<decltype(systemParametersInfo)>();
        sysColor = colours_.Original<decltype(sysColor)>();
        ASSERT_TRUE(systemParametersInfo && sysColor) << "this program imports no SystemParametersInfoW or GetSysColor to stand in for";
        theme = &kThemes[0];
        InProcessWindow::SetUp();
    }
    void TearDown() override
    {
        InProcessWindow::TearDown();
        theme = nullptr;
    }
    // What the window's own paint leaves on the screen.
    COLORREF Shown(int x, int y) const { return WindowPixel(window, x, y); }

private:
    ImportPatch parameters_{"user32.dll", "SystemParametersInfoW", reinterpret_cast<const void*>(ThemeParametersInfo)};
    ImportPatch colours_{"user32.dll", "GetSysColor", reinterpret_cast<const void*>(ThemeColour)};
};

// A point of the picture's field, where no control stands at any DPI.
constexpr POINT kFieldPoint{200, 400};

// The contrast of two colours as WCAG 2 measures it, from 1 to 21.
double Contrast(COLORREF a, COLORREF b)
{
    const auto luminance = [](COLORREF c) {
        const auto linear = [](int channel) {
            const double v = channel / 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(GetRValue(c)) + 0.7152 * linear(GetGValue(c)) + 0.0722 * linear(GetBValue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(HighContrast, TheWindowDrawsInTheThemesDialogColoursWithNoPicture)
{
    for (const Theme& each : kThemes) {
        SCOPED_TRACE(each.name);
        if (theme != &each) {
            DestroyWindow(window);
            theme = &each;
            Open();
        }
        const PrintedClient printed(window);
        const RECT prompt = PromptRect();
        // The face colour everywhere but the prompt's letters: where the picture was, and beyond.
        for (int y = 0; y < printed.size.cy; y += 7)
            for (int x = 0; x < printed.size.cx; x += 7) {
                const POINT at{x, y};
                if (!PtInRect(&prompt, at)) {
                    ASSERT_EQ(printed.At(x, y), each.face) << "at " << x << "," << y;
                }
            }
        // The prompt in the dialog's text colour, in its own font and rectangle.
        const RECT text = ColourBox(printed.dc, prompt, each.windowText);
        const RECT expected = PromptWhereTheLayoutPutsIt(printed.dc, prompt, each.windowText, each.face);
        EXPECT_TRUE(EqualRect(&text, &expected)) << "the prompt's letters in the theme's text colour span " << Box(text)
                                                 << ", where the layout puts them at " << Box(expected);
        // Its letters against the face, as the theme pairs them: the colour the prompt shows most,
        // after the face.
        std::map<COLORREF, int> shown;
        for (int y = prompt.top; y < prompt.bottom; ++y)
            for (int x = prompt.left; x < prompt.right; ++x)
                ++shown[printed.At(x, y)];
        shown.erase(printed.At(kFieldPoint.x, kFieldPoint.y));  // the face, where the picture was
        ASSERT_FALSE(shown.empty()) << "the prompt shows nothing but the face";
        const COLORREF letters = std::max_element(shown.begin(), shown.end(),
                                                  [](const auto& a, const auto& b) { return a.second < b.second; })->first;
        EXPECT_DOUBLE_EQ(Contrast(letters, each.face), Contrast(each.windowText, each.face))
            << "the prompt's letters are " << Rgb(letters) << " on " << Rgb(each.face);
    }
}

TEST_F(HighContrast, ASwitchWhileOpenRepaintsAtOnceAndLeavesTheButtonsAlone)
{
    // Opened with high contrast off; then switched on, to another theme, and off again. Each time
    // the buttons' own paint is held back, so that what they show is what they showed before.
    DestroyWindow(window);
    theme = nullptr;
    Open();
    const RECT prompt = PromptRect();
    const auto letters = [&](COLORREF colour) {
        int count = 0;
        for (int y = prompt.top; y < prompt.bottom; ++y)
            for (int x = prompt.left; x < prompt.right; x += 2)
                count += Shown(x, y) == colour;
        return count;
    };
    MarkButtons(Buttons());
    struct Step {
        const char* what;
        const Theme* theme;
        UINT message;
        COLORREF face, text;
    };
    const Step steps[] = {
        {"switched on", &kThemes[0], WM_SETTINGCHANGE, kThemes[0].face, kThemes[0].windowText},
        {"another theme", &kThemes[1], WM_SYSCOLORCHANGE, kThemes[1].face, kThemes[1].windowText},
        {"switched off", nullptr, WM_SETTINGCHANGE, kWelcomeFieldColor, RGB(255, 255, 255)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        theme = step.theme;
        SendMessageW(window, step.message, step.message == WM_SETTINGCHANGE ? SPI_SETHIGHCONTRAST : 0, 0);
        UpdateWindow(window);
        EXPECT_EQ(Shown(kFieldPoint.x, kFieldPoint.y), step.face) << "where the picture's field is";
        EXPECT_GT(letters(step.text), 80) << "prompt pixels in " << Rgb(step.text);
        for (HWND button : Buttons())
            EXPECT_EQ(Rgb(MiddleOf(button)), Rgb(kMark)) << "the window's paint covered a button";
        // What a change brings is read once: the paints after it ask the system nothing.
        asked = 0;
        for (int i = 0; i < 3; ++i)
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(asked, 0) << "the paints asked the system for its colours or its high-contrast setting";
    }
    UnmarkButtons(Buttons());
}

// --- What a screen reader finds -----------------------------------------------------------

constexpr const char* kPrompt = "Choose your Installation language.";

// The window's accessible objects, asked in this process as a screen reader asks from its own.
class ScreenReader : public InProcessWindow {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        InProcessWindow::SetUp();
        client = AccessibleOf(window);
        ASSERT_TRUE(client) << "the window offers no accessible object for its client area";
    }
    void TearDown() override
    {
        client.reset();
        InProcessWindow::TearDown();
        CoUninitialize();
    }
    std::string Name(long child) const { return AccessibleText(client.get(), &IAccessible::get_accName, child); }
    long Role(long child) const { return AccessibleNumber(client.get(), &IAccessible::get_accRole, child); }
    RECT Location(long child) const
    {
        long left = 0, top = 0, width = 0, height = 0;
        client->accLocation(&left, &top, &width, &height, ChildNumber(child));
        return {left, top, left + width, top + height};
    }
    // What a hit test or a step of navigation hands out: a child's number, a button's window
    // ("window:French"), or nothing.
    static std::string Found(HRESULT result, VARIANT& found)
    {
        std::string what = result == S_FALSE ? "nothing" : FAILED(result) ? "error" : "?";
        if (found.vt == VT_I4)
            what = "child " + std::to_string(found.lVal);
        if (found.vt == VT_DISPATCH) {
            wchar_t caption[64] = {};
            GetWindowTextW(WindowOfChild(found), caption, static_cast<int>(std::size(caption)));
            what = "window:" + Utf8(caption);
        }
        VariantClear(&found);
        return what;
    }
    std::string HitAt(POINT screen) const
    {
        VARIANT found{};
        const HRESULT result = client->accHitTest(screen.x, screen.y, &found);
        return Found(result, found);
    }
    std::string Navigate(long direction, long from) const
    {
        VARIANT found{};
        const HRESULT result = client->accNavigate(direction, ChildNumber(from), &found);
        return Found(result, found);
    }

    AccessiblePtr client;
};

RECT OnScreen(HWND window, RECT r)
{
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}
POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

TEST_F(ScreenReader, TheClientAreaIsADialogThatReadsThePromptFirst)
{
    EXPECT_EQ(Role(CHILDID_SELF), ROLE_SYSTEM_DIALOG);
    EXPECT_EQ(Name(CHILDID_SELF), "Tolvanix") << "named by the window's caption";
    EXPECT_EQ(AccessibleText(client.get(), &IAccessible::get_accDescription, CHILDID_SELF), kPrompt);

    long count = 0;
    EXPECT_EQ(client->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 4) << "the prompt and the three buttons";
    VARIANT children[8] = {};
    LONG got = 0;
    ASSERT_TRUE(SUCCEEDED(AccessibleChildren(client.get(), 0, 8, children, &got)));
    ASSERT_EQ(got, 4);
    // First the prompt, a simple element; then the buttons as the system presents them, as the
    // objects of their windows, in the window's order.
    ASSERT_EQ(children[0].vt, VT_I4);
    EXPECT_EQ(children[0].lVal, 1);
    EXPECT_EQ(Name(1), kPrompt);
    EXPECT_EQ(Role(1), ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ(AccessibleNumber(client.get(), &IAccessible::get_accState, 1), STATE_SYSTEM_READONLY);
    const wchar_t* order[] = {L"French", L"German", L"English"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(WindowOfChild(children[i + 1]), ButtonCaptioned(order[i])) << "child " << i + 2 << " is not " << Utf8(order[i]);
        const AccessiblePtr button = AccessibleOf(ButtonCaptioned(order[i]));
        ASSERT_TRUE(button);
        EXPECT_EQ(AccessibleText(button.get(), &IAccessible::get_accName, CHILDID_SELF), Utf8(order[i]));
    }
    for (VARIANT& child : children)
        VariantClear(&child);
}

TEST_F(ScreenReader, ThePromptIsWhereItIsDrawnWhereverTheWindowIs)
{
    const RECT prompt = PromptRect();
    const auto expectInPlace = [&](const char* when) {
        const RECT location = Location(1), expected = OnScreen(window, prompt);
        EXPECT_TRUE(EqualRect(&location, &expected)) << when << ": the prompt is reported at " << Box(location) << ", drawn at "
                                                     << Box(expected);
    };
    expectInPlace("opened");
    SetWindowPos(window, nullptr, 37, 53, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    expectInPlace("moved");
    ShowWindow(window, SW_MAXIMIZE);
    expectInPlace("maximised");
}

TEST_F(ScreenReader, HitTestingAndNavigationFollowTheReadingOrder)
{
    SetWindowPos(window, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(HitAt(Centre(OnScreen(window, PromptRect()))), "child 1") << "a point of the prompt";
    RECT french;
    GetWindowRect(ButtonCaptioned(L"French"), &french);
    EXPECT_EQ(HitAt(Centre(french)), "window:French");
    POINT picture{20, 300};
    ClientToScreen(window, &picture);
    EXPECT_EQ(HitAt(picture), "child 0") << "a point of the picture, where no control stands";
    EXPECT_EQ(HitAt({50, 50}), "nothing") << "a point outside the window";

    EXPECT_EQ(Navigate(NAVDIR_FIRSTCHILD, CHILDID_SELF), "child 1");
    EXPECT_EQ(Navigate(NAVDIR_LASTCHILD, CHILDID_SELF), "window:English");
    EXPECT_EQ(Navigate(NAVDIR_NEXT, 1), "window:French");
    EXPECT_EQ(Navigate(NAVDIR_NEXT, 2), "window:German");
    EXPECT_EQ(Navigate(NAVDIR_NEXT, 3), "window:English");
    EXPECT_EQ(Navigate(NAVDIR_NEXT, 4), "nothing");
    EXPECT_EQ(Navigate(NAVDIR_PREVIOUS, 2), "child 1");
    EXPECT_EQ(Navigate(NAVDIR_PREVIOUS, 1), "nothing");

    VARIANT focus{};
    const HRESULT result = client->get_accFocus(&focus);
    EXPECT_EQ(Found(result, focus), "window:French") << "the focus is on French";
}

TEST_F(ScreenReader, CallsAfterTheWindowIsGoneFailCleanly)
{
    // A screen reader may hold the object after the launcher's window is gone. A call that reached
    // what went with the window would crash this program, which then ends at once.
    DestroyWindow(window);
    long count = 0, left = 0, top = 0, width = 0, height = 0;
    BSTR text = nullptr;
    VARIANT found{};
    IDispatch* object = nullptr;
    EXPECT_EQ(client->get_accChildCount(&count), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accName(ChildNumber(1), &text), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accName(ChildNumber(CHILDID_SELF), &text), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accRole(ChildNumber(2), &found), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->accLocation(&left, &top, &width, &height, ChildNumber(1)), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->accHitTest(10, 10, &found), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->accNavigate(NAVDIR_FIRSTCHILD, ChildNumber(CHILDID_SELF), &found), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accChild(ChildNumber(2), &object), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accFocus(&found), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->get_accParent(&object), RPC_E_DISCONNECTED);
    EXPECT_EQ(client->accDoDefaultAction(ChildNumber(2)), RPC_E_DISCONNECTED);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(found.vt, VT_EMPTY);
    EXPECT_TRUE(shell.calls.empty()) << "a call after the end pressed a button";
}

TEST_F(ScreenReader, BadRequestsGetTheDocumentedErrors)
{
    ASSERT_EQ(Role(CHILDID_SELF), ROLE_SYSTEM_DIALOG) << "the client area's object is not the window's own";
    BSTR text = nullptr;
    VARIANT found{};
    long left = 0, top = 0, width = 0, height = 0;
    for (long unknown : {5L, 100L, -2L}) {
        SCOPED_TRACE(unknown);
        EXPECT_EQ(client->get_accName(ChildNumber(unknown), &text), E_INVALIDARG);
        EXPECT_EQ(client->get_accRole(ChildNumber(unknown), &found), E_INVALIDARG);
        EXPECT_EQ(client->accLocation(&left, &top, &width, &height, ChildNumber(unknown)), E_INVALIDARG);
        EXPECT_EQ(client->accNavigate(NAVDIR_NEXT, ChildNumber(unknown), &found), E_INVALIDARG);
    }
    VARIANT notANumber{};
    notANumber.vt = VT_BSTR;
    EXPECT_EQ(client->get_accName(notANumber, &text), E_INVALIDARG);
    EXPECT_EQ(client->get_accName(ChildNumber(1), nullptr), E_INVALIDARG);
    EXPECT_EQ(client->get_accRole(ChildNumber(1), nullptr), E_INVALIDARG);
    EXPECT_EQ(client->get_accChildCount(nullptr), E_INVALIDARG);
    EXPECT_EQ(client->accLocation(nullptr, &top, &width, &height, ChildNumber(1)), E_INVALIDARG);
    EXPECT_EQ(client->accHitTest(10, 10, nullptr), E_INVALIDARG);
    EXPECT_EQ(client->accNavigate(NAVDIR_NEXT, ChildNumber(1), nullptr), E_INVALIDARG);
    EXPECT_EQ(client->accDoDefaultAction(ChildNumber(1)), DISP_E_MEMBERNOTFOUND) << "the prompt has no action";
    EXPECT_EQ(text, nullptr);
    // An object the window does not make itself is the system's, and an unknown one none.
    EXPECT_EQ(SendMessageW(window, WM_GETOBJECT, 0, 12345), 0);
    EXPECT_TRUE(AccessibleOf(window, OBJID_WINDOW));
    EXPECT_TRUE(shell.calls.empty());
}

}  // namespace
