// A setup program for tests: records how it was started, then exits. The record goes to the
// file named by STANDIN_RECORD (inherited from the test through the launcher), appended, so a
// test also sees a second start. Without STANDIN_RECORD it records nothing.

#include <windows.h>

#include <iterator>
#include <string>

#include "tools/desktop/desktop.h"

namespace {

std::wstring ModulePath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring CurrentDirectory()
{
    std::wstring path(32768, L'\0');
    path.resize(GetCurrentDirectoryW(static_cast<DWORD>(path.size()), path.data()));
    return path;
}

std::wstring ShowState()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_wstring(startup.wShowWindow) : L"none";
}

// The Windows version the program runs on, as the system says it (RtlGetVersion, which no
// compatibility setting of the program bends): what Wine imitates, under Wine.
std::wstring WindowsVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0)
        return L"unknown";
    return std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion);
}

}  // namespace

int wmain()
{
    wchar_t recordPath[32768];
    if (!GetEnvironmentVariableW(L"STANDIN_RECORD", recordPath, static_cast<DWORD>(std::size(recordPath))))
        return 0;
    const std::string record = Utf8(L"path=" + ModulePath() + L"\ncwd=" + CurrentDirectory() + L"\ncommandline=" +
                                    GetCommandLineW() + L"\nshow=" + ShowState() + L"\nwindows=" + WindowsVersion() +
                                    L"\nend\n");
    HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
