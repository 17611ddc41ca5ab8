#include "desktop.h"

#include <vector>

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    // The tick count wraps after 49 days, the difference of two readings does not; and Windows XP
    // has no 64-bit count.
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* caption)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, className, caption); window;
         window = FindWindowExW(nullptr, window, className, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (!processId || owner == processId)
            return window;
    }
    return nullptr;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

HWND WaitForReadyWindow(DWORD processId, const wchar_t* caption, DWORD timeoutMs)
{
    HWND ready = nullptr;
    WaitFor([&] {
        HWND window = FindProcessWindow(processId, nullptr, caption);
        if (window && IsWindowVisible(window) && GetForegroundWindow() == window && IsChild(window, FocusOf(window)))
            ready = window;
        return ready != nullptr;
    }, timeoutMs);
    return ready;
}

namespace {

// A screen coordinate in the 0-65535 range of absolute input, rounded up so that it maps back
// to the very pixel however the system rounds.
LONG Normalised(LONG pixel, int screenPixels) { return static_cast<LONG>((pixel * 65536LL + screenPixels - 1) / screenPixels); }

INPUT MouseInput(POINT screen, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalised(screen.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normalised(screen.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

}  // namespace

bool ClickAt(POINT screen)
{
    // Under Wine the display's own pointer wins over injected positions whenever the display
    // reports it, and a program still busy with its first messages may report where the pointer
    // stood when its window opened. So the pointer is put there first, and the press and the
    // release each carry the position too: no report between them can move the click.
    SetCursorPos(screen.x, screen.y);
    INPUT inputs[] = {MouseInput(screen, 0), MouseInput(screen, MOUSEEVENTF_LEFTDOWN), MouseInput(screen, MOUSEEVENTF_LEFTUP)};
    return SendInput(static_cast<UINT>(std::size(inputs)), inputs, sizeof(INPUT)) == std::size(inputs);
}

bool ClickOn(HWND window)
{
    RECT r;
    return GetWindowRect(window, &r) && ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void ParkPointer()
{
    // Near the work area's bottom-left corner: clear of a centred window at any DPI, and a few
    // pixels in from the edges, where a hidden taskbar would wake.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const POINT spot{work.left + 8, work.bottom - 8};
    SetCursorPos(spot.x, spot.y);
    INPUT move = MouseInput(spot, 0);
    SendInput(1, &move, sizeof(INPUT));
}

void PressKey(WORD key, Modifier modifier)
{
    const WORD held = modifier == Modifier::Shift ? VK_SHIFT : modifier == Modifier::Alt ? VK_MENU : 0;
    std::vector<INPUT> inputs;
    const auto add = [&](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (held)
        add(held, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (held)
        add(held, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::string Utf8(std::wstring_view text)
{
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? static_cast<size_t>(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}
