#include "desktop_check.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "support.h"

namespace {

struct ProcessEntry {
    DWORD id, parent;
    std::wstring exe;
};

std::vector<ProcessEntry> Processes()
{
    std::vector<ProcessEntry> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    CloseHandle(snapshot);
    return processes;
}

template <typename T> bool Contains(const std::vector<T>& list, const T& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

std::string Describe(HWND window, const std::vector<ProcessEntry>& processes)
{
    wchar_t title[256] = {};
    GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const auto process = std::find_if(processes.begin(), processes.end(), [&](const ProcessEntry& p) { return p.id == id; });
    return "class \"" + Utf8(ClassOf(window)) + "\", title \"" + Utf8(title) + "\", of " +
           (process == processes.end() ? std::string("a process that has ended") : Utf8(process->exe)) + " (process " +
           std::to_string(id) + ")";
}

std::string Named(HWND window) { return window ? "the window of " + Describe(window, Processes()) : "no window"; }

// What a test may show in a process it started, by class: the launcher's window, and the
// tooltips that the system shows over a title bar's buttons.
constexpr const wchar_t* kExpectedClasses[] = {L"TolvanixLauncherForm1", L"tooltips_class32"};

// A message box, as the launcher's about a fatal error and the shell's about a program it cannot
// start: a dialog of its text (control 0xFFFF), an icon and push buttons. The shell's security
// warning is a dialog too, with a check box ("Always ask before opening this file").
bool IsMessageBox(HWND window)
{
    if (ClassOf(window) != L"#32770" || !GetDlgItem(window, 0xFFFF))
        return false;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = ClassOf(child);
        const bool pushButton = (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON;
        if (_wcsicmp(kind.c_str(), L"Static") != 0 && !(_wcsicmp(kind.c_str(), L"Button") == 0 && pushButton))
            return false;
    }
    return true;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ShownWindows()
{
    std::vector<HWND> all, shown;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&all));
    std::copy_if(all.begin(), all.end(), std::back_inserter(shown), [](HWND window) { return IsWindowVisible(window); });
    return shown;
}

LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONUP)
        SetWindowLongPtrW(window, GWLP_USERDATA, 1);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::string WhyTheDesktopCannotBeDriven()
{
    constexpr COLORREF kColour = RGB(0x20, 0x80, 0x40);
    constexpr int kSize = 120;
    HBRUSH brush = CreateSolidBrush(kColour);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CheckWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = brush;
    windowClass.lpszClassName = L"TolvanixKitDesktopCheck";
    RegisterClassW(&windowClass);
    const POINT centre{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"Tolvanix test kit",
                                  WS_POPUP | WS_VISIBLE, centre.x - kSize / 2, centre.y - kSize / 2, kSize, kSize, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    std::string why;
    if (!window) {
        why = "no window can be shown on it (error " + std::to_string(GetLastError()) + ")";
    } else {
        const auto run = [] {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        };
        HDC screen = GetDC(nullptr);
        const COLORREF shown = GetNearestColor(screen, kColour);
        COLORREF read = CLR_INVALID;
        // A session with no display of its own reads back black; a window above all others hides it.
        if (!WaitFor([&] { run(); return (read = GetPixel(screen, centre.x, centre.y)) == shown; }, 10000))
            why = "a window of the kit's own does not show on the screen: it reads " + Rgb(read) + " where the window is " +
                  Rgb(shown) + ", under " + Named(GetAncestor(WindowFromPoint(centre), GA_ROOT));
        else if (!ClickOn(window) ||
                 !WaitFor([&] { run(); return GetWindowLongPtrW(window, GWLP_USERDATA) && GetForegroundWindow() == window; }, 10000))
            why = "a window of the kit's own does not take the click the kit sends to it, and the front is " + Named(GetForegroundWindow());
        ReleaseDC(nullptr, screen);
        DestroyWindow(window);
        run();
    }
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
    DeleteObject(brush);
    ParkPointer();
    return why;
}

void WindowWatch::Begin()
{
    seen_ = ShownWindows();
    started_.clear();
    unexpected_.clear();
}

void WindowWatch::Look(DWORD testProcess)
{
    const std::vector<ProcessEntry> processes = Processes();
    // The test's process and those started from it, or from one of those, each seen running.
    if (started_.empty())
        started_.push_back(testProcess);
    for (bool grown = true; grown;) {
        grown = false;
        for (const ProcessEntry& process : processes)
            if (Contains(started_, process.parent) && !Contains(started_, process.id)) {
                started_.push_back(process.id);
                grown = true;
            }
    }
    for (HWND window : ShownWindows()) {
        if (Contains(seen_, window))
            continue;
        seen_.push_back(window);
        DWORD process = 0;
        if (!GetWindowThreadProcessId(window, &process))
            continue;  // gone before it could be read, as a closing launcher's window may be
        const bool started = Contains(started_, process);
        const bool expected = process == testProcess ||
                              (started && (IsMessageBox(window) || std::any_of(std::begin(kExpectedClasses), std::end(kExpectedClasses),
                                                                                [&](const wchar_t* name) { return ClassOf(window) == name; })));
        if (expected)
            continue;
        const std::string description = Describe(window, processes);
        // A window of the test's own processes already hidden or gone was closing as it was read
        // (the launcher's, a message box); any other process's window is named whatever became of it.
        if (!started || IsWindowVisible(window))
            unexpected_.push_back({window, started, description + (started ? ", which the test started" : ", which the test did not start")});
    }
}

std::vector<std::string> WindowWatch::End(DWORD testProcess)
{
    Look(testProcess);
    std::vector<std::string> named;
    for (const Unexpected& found : unexpected_) {
        named.push_back(found.description);
        if (found.started && IsWindow(found.window))
            PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    return named;
}
