#include "launcher_window_win32.h"

#include <memory>
#include <string>

#include "ansi_win32.h"
#include "picture_win32.h"

namespace {

constexpr wchar_t kClassName[] = L"TolvanixLauncherForm1";
// Button identifiers stay clear of IDOK and IDCANCEL, which Enter and Escape send to a plain
// window that uses dialog navigation; Command1 as IDOK would launch English on every Enter.
constexpr int kFirstButtonId = 100;

const FormDescription& Form() { return LauncherForm(); }

struct WindowStyles {
    DWORD style, exStyle;
};

// The form's frame as the window's styles. The description does not say how the window paints:
// with its buttons as child windows, it leaves their rectangles alone (WS_CLIPCHILDREN).
WindowStyles StylesOf(FrameStyle frame)
{
    switch (frame) {
    case FrameStyle::Sizable: return {WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_APPWINDOW};
    }
    return {};
}

// Where the window's outer rectangle of this size stands when it opens.
POINT StartPositionOf(StartPosition position, int width, int height)
{
    switch (position) {
    case StartPosition::CenterScreen:
        return {(GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2};
    }
    return {};
}

UniqueFont CreateFontFrom(const FontDescription& font, int dpiY)
{
    LOGFONTA description{};
    description.lfHeight = -FontHeightPixels(font, dpiY);  // negative: character height, not cell height
    description.lfWeight = font.weight;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfStrikeOut = font.strikethrough;
    description.lfCharSet = static_cast<BYTE>(font.charset);
    const size_t length = std::min(font.faceName.size(), std::size(description.lfFaceName) - 1);
    font.faceName.copy(description.lfFaceName, length);
    return UniqueFont(CreateFontIndirectA(&description));
}

UniqueIcon LoadIconOfSize(HINSTANCE instance, int size)
{
    return UniqueIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(Form().iconGroup), IMAGE_ICON, size, size, 0)));
}

COLORREF ColourOf(std::uint32_t colour)
{
    return (colour & kSystemColorFlag) ? GetSysColor(colour & 0xFF) : static_cast<COLORREF>(colour);
}

// In high contrast the client area takes a dialog's colours from the theme: its face, and the text
// colour the system draws a dialog's static text in.
constexpr int kDialogFace = COLOR_3DFACE, kDialogText = COLOR_WINDOWTEXT;

bool HighContrastOn()
{
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) && (setting.dwFlags & HCF_HIGHCONTRASTON);
}

// The form's first control of a kind; the buttons share one font, so the first one's serves.
const ControlDescription& FirstOf(ControlKind kind)
{
    for (const ControlDescription& control : Form().controls)
        if (control.kind == kind)
            return control;
    return Form().controls.back();
}

const ControlDescription& Label() { return FirstOf(ControlKind::Label); }

// A control's place in the stored order, which is also its place in the window's button list.
size_t StoredIndex(const ControlDescription* control) { return static_cast<size_t>(control - Form().controls.data()); }

RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.left + r.width, r.top + r.height}; }

}  // namespace

LauncherWindow::LauncherWindow(HINSTANCE instance, LauncherShell& shell, PictureLoader loadPicture, Kernel32Lookup lookup)
    : instance_(instance), launch_(shell, ToAnsiCodePage), loadPicture_(loadPicture), lookup_(lookup)
{
    const ScreenDc screen = BorrowScreenDc();
    dpiX_ = GetDeviceCaps(screen.get(), LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
}

HWND LauncherWindow::Create(HINSTANCE instance, LauncherShell& shell, PictureLoader loadPicture, Kernel32Lookup lookup)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    // No background brush: the paint covers every pixel, and erasing first would flicker.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;

    auto self = std::unique_ptr<LauncherWindow>(new LauncherWindow(instance, shell, loadPicture, lookup));
    const WindowStyles styles = StylesOf(Form().frame);
    const PixelSize client = ClientPixels(Form(), self->dpiX_, self->dpiY_);
    RECT outer{0, 0, client.width, client.height};
    AdjustWindowRectEx(&outer, styles.style, FALSE, styles.exStyle);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const POINT at = StartPositionOf(Form().startPosition, width, height);

    const std::wstring caption(Form().caption);
    HWND window = CreateWindowExW(styles.exStyle, kClassName, caption.c_str(), styles.style, at.x, at.y, width, height,
                                  nullptr, nullptr, instance, self.get());
    if (window)
        self.release();  // the window deletes it when it goes
    return window;
}

void LauncherWindow::Show(HWND window)
{
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    if (LauncherWindow* self = From(window))
        SetFocus(self->focusWhenInactive_);
}

LauncherWindow* LauncherWindow::From(HWND window)
{
    return reinterpret_cast<LauncherWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK LauncherWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<LauncherWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    LauncherWindow* self = From(window);
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The last message: the window's fonts, picture and icons go with it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        delete self;
        return result;
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT LauncherWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_ERASEBKGND: return 1;  // the paint covers it all
    case WM_PAINT: OnPaint(); return 0;
    case WM_PRINTCLIENT: OnPrintClient(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_ACTIVATE: OnActivate(wParam); break;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_GETOBJECT: return OnGetObject(wParam, lParam);
    case WM_SETTINGCHANGE: OnSettingChange(wParam); break;
    case WM_SYSCOLORCHANGE: OnSysColorChange(); break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

bool LauncherWindow::OnCreate()
{
    ReadColours();
    smallIcon_ = LoadIconOfSize(instance_, 16);
    largeIcon_ = LoadIconOfSize(instance_, 32);
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_.get()));

    picture_ = loadPicture_();
    if (!picture_.bitmap)
        return false;
    pictureDc_ = UniqueMemoryDc(CreateCompatibleDC(nullptr));
    pictureSelection_ = Select(pictureDc_.get(), picture_.bitmap.get());
    buttonFont_ = CreateFontFrom(FirstOf(ControlKind::CommandButton).font, dpiY_);
    labelFont_ = CreateFontFrom(Label().font, dpiY_);

    for (size_t i = 0; i < Form().controls.size(); ++i) {
        const ControlDescription& control = Form().controls[i];
        if (control.kind != ControlKind::CommandButton)
            continue;
        const PixelRect at = ControlPixels(control, dpiX_, dpiY_);
        const std::wstring caption(control.caption);
        HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      at.left, at.top, at.width, at.height, window_,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)), instance_, nullptr);
        if (!button)
            return false;
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
        buttons_[i] = button;
    }
    // Dialog navigation follows the order of the child windows, so they are put in tab order.
    for (const ControlDescription* control : TabSequence(Form()))
        SetWindowPos(buttons_[StoredIndex(control)], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    focusWhenInactive_ = buttons_[StoredIndex(InitialFocus(Form()))];
    return true;
}

void LauncherWindow::OnPaint()
{
    const PaintScope paint = BeginPainting(window_);
    PaintContent(paint.get(), paint.deleter().paint.rcPaint);
}

// What the window draws, into a DC of somebody else's: PrintWindow and the like ask for it.
void LauncherWindow::OnPrintClient(HDC dc)
{
    RECT client;
    GetClientRect(window_, &client);
    PaintContent(dc, client);
}

void LauncherWindow::PaintContent(HDC dc, const RECT& area) const
{
    // In high contrast no picture stands behind the prompt: the face colour fills its place, as
    // it would around a picture of no size.
    const LONG pictureWidth = highContrast_ ? 0 : picture_.width, pictureHeight = highContrast_ ? 0 : picture_.height;
    // Beyond the picture, when the window is larger than it, the form's own colour shows.
    SetDCBrushColor(dc, backColour_);
    HBRUSH background = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
    const RECT right{pictureWidth, area.top, std::max<LONG>(area.right, pictureWidth), area.bottom};
    const RECT below{area.left, pictureHeight, std::min<LONG>(area.right, pictureWidth), std::max<LONG>(area.bottom, pictureHeight)};
    FillRect(dc, &right, background);
    FillRect(dc, &below, background);
    BitBlt(dc, 0, 0, pictureWidth, pictureHeight, pictureDc_.get(), 0, 0, SRCCOPY);

    // The prompt is drawn, not a child window, so it never takes focus or mouse input.
    const ControlDescription& label = Label();
    RECT labelRect = PromptRect();
    const Selection font = Select(dc, labelFont_.get());
    SetTextColor(dc, promptColour_);
    SetBkMode(dc, label.backStyle == BackStyle::Transparent ? TRANSPARENT : OPAQUE);
    const std::wstring caption(label.caption);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &labelRect, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
}

void LauncherWindow::OnSettingChange(WPARAM setting)
{
    if (setting == SPI_SETHIGHCONTRAST)
        OnSysColorChange();
}

// A theme switched on or off, or colours changed: the paint that follows draws in the new ones.
void LauncherWindow::OnSysColorChange()
{
    ReadColours();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE);
}

void LauncherWindow::ReadColours()
{
    highContrast_ = HighContrastOn();
    backColour_ = highContrast_ ? GetSysColor(kDialogFace) : ColourOf(Form().backColor);
    promptColour_ = highContrast_ ? GetSysColor(kDialogText) : ColourOf(Label().textColor);
}

// The prompt's rectangle in the client area: where it is drawn, and where a screen reader is told
// it stands.
RECT LauncherWindow::PromptRect() const { return ToRect(ControlPixels(Label(), dpiX_, dpiY_)); }

void LauncherWindow::OnCommand(int id, int notification)
{
    if (id >= kFirstButtonId && id < kFirstButtonId + static_cast<int>(buttons_.size()) && notification == BN_CLICKED)
        Activate(buttons_[id - kFirstButtonId]);
    else if (id == IDOK)  // Enter on a focused button that is not a default button
        Activate(GetFocus());
    // IDCANCEL, from Escape, does nothing: the window has no cancel button.
}

void LauncherWindow::Activate(HWND button)
{
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (button && buttons_[i] == button) {
            if (const LanguageChoice* choice = ChoiceForControl(Form().controls[i].name))
                launch_.LaunchChoice(*choice);
            return;
        }
    }
}

void LauncherWindow::OnActivate(WPARAM state)
{
    // The focused button is kept across a switch to another window and back.
    if (LOWORD(state) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus))
            focusWhenInactive_ = focus;
    }
}

void LauncherWindow::OnSetFocus()
{
    if (focusWhenInactive_)
        SetFocus(focusWhenInactive_);
}

LRESULT LauncherWindow::OnGetObject(WPARAM flags, LPARAM objectId)
{
    // Only the client area has an object of the window's own; the rest is the system's.
    if (static_cast<LONG>(static_cast<DWORD>(objectId)) == OBJID_CLIENT) {
        if (!accessible_)
            accessible_ = CreateClientAccessible(window_, Label().caption, PromptRect(), lookup_);
        if (accessible_)
            return AccessibleResult(accessible_.get(), flags);
    }
    return DefWindowProcW(window_, WM_GETOBJECT, flags, objectId);
}
