#include "platform.h"

#include <iterator>

bool IsWine()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

bool WineMeansAvailable()
{
    wchar_t value[4] = {};
    const DWORD length = GetEnvironmentVariableW(L"LAUNCHER_TESTS_AS_WINDOWS", value, static_cast<DWORD>(std::size(value)));
    return IsWine() && !(length == 1 && value[0] == L'1');
}

std::string WindowsVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0)
        return "unknown";
    return std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion);
}

SIZE ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const SIZE dpi{GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return dpi;
}

int DesktopDpi()
{
    using SetAwareness = HANDLE(WINAPI*)(HANDLE);
    const auto setAwareness = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
    const HANDLE systemAware = reinterpret_cast<HANDLE>(-2);  // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
    const HANDLE before = setAwareness ? setAwareness(systemAware) : nullptr;
    const int dpi = ScreenDpi().cx;
    if (before)
        setAwareness(before);
    return dpi;
}
