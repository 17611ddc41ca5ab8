// A helper for scripts that show or measure the launcher under Wine:
//   window_tool rect TITLE            waits for a window so captioned; prints WxH+X+Y of it
//   window_tool click TITLE BUTTON    clicks the button so captioned in that window
//   window_tool text TITLE            prints the message text of a message box so captioned
//   window_tool close TITLE           closes the window
// Exits 1 when the window does not come within a minute.

#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>

namespace {

HWND WaitForWindow(const wchar_t* title)
{
    for (int i = 0; i < 1200; ++i) {
        HWND window = FindWindowW(nullptr, title);
        if (window && IsWindowVisible(window))
            return window;
        Sleep(50);
    }
    return nullptr;
}

// Under Wine the X pointer wins over injected positions whenever X reports it, so the pointer
// itself is moved there first.
void ClickAt(int x, int y)
{
    SetCursorPos(x, y);
    INPUT inputs[3]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, inputs, sizeof(INPUT));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring action = argc > 2 ? argv[1] : L"";
    HWND window = argc > 2 ? WaitForWindow(argv[2]) : nullptr;
    if (!window) {
        std::fwprintf(stderr, L"window_tool: no window captioned \"%ls\"\n", argc > 2 ? argv[2] : L"");
        return 1;
    }
    RECT r;
    GetWindowRect(window, &r);
    // Painting follows showing, frame and client apart: wait until neither is still black.
    HDC screen = GetDC(nullptr);
    const POINT title{(r.left + r.right) / 2, r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    const POINT client{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    for (int i = 0; i < 400 && (GetPixel(screen, title.x, title.y) == 0 || GetPixel(screen, client.x, client.y) == 0); ++i)
        Sleep(50);
    ReleaseDC(nullptr, screen);
    if (action == L"rect") {
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    } else if (action == L"click" && argc == 4) {
        HWND button = FindWindowExW(window, nullptr, L"Button", argv[3]);
        if (!button)
            return 1;
        GetWindowRect(button, &r);
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    } else if (action == L"text") {
        wchar_t text[1024] = {};
        GetDlgItemTextW(window, 0xFFFF, text, static_cast<int>(std::size(text)));
        char utf8[4096] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::printf("%s\n", utf8);
    } else if (action == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}
