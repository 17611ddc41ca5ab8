// A helper for scripts that show or drive the launcher under Wine:
//   window_tool rect TITLE            prints WxH+X+Y of the window so captioned, once painted
//   window_tool click TITLE BUTTON    clicks the button so captioned in that window
//   window_tool text TITLE            prints the message text of a message box so captioned
//   window_tool close TITLE           closes the window
// Each waits for the window to be ready for input first, and exits 1 when it does not come
// within a minute.

#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "desktop.h"

namespace {

// Painting follows showing, frame and client apart: true once neither is still black.
bool Painted(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    const POINT title{(r.left + r.right) / 2, r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    const POINT client{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HDC screen = GetDC(nullptr);
    const bool painted = GetPixel(screen, title.x, title.y) != 0 && GetPixel(screen, client.x, client.y) != 0;
    ReleaseDC(nullptr, screen);
    return painted;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring action = argc > 2 ? argv[1] : L"";
    HWND window = argc > 2 ? WaitForReadyWindow(0, argv[2]) : nullptr;
    if (!window || !WaitFor([&] { return Painted(window); })) {
        std::fwprintf(stderr, L"window_tool: no window captioned \"%ls\" came ready\n", argc > 2 ? argv[2] : L"");
        return 1;
    }
    if (action == L"rect") {
        RECT r;
        GetWindowRect(window, &r);
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    } else if (action == L"click" && argc == 4) {
        HWND button = FindWindowExW(window, nullptr, L"Button", argv[3]);
        if (!button || !ClickOn(button))
            return 1;
    } else if (action == L"text") {
        wchar_t text[1024] = {};
        GetDlgItemTextW(window, 0xFFFF, text, static_cast<int>(std::size(text)));
        std::printf("%s\n", Utf8(text).c_str());
    } else if (action == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}
