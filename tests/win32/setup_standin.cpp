// A setup program for tests: records how it was started, then exits. The record goes to the
// file named by STANDIN_RECORD (inherited from the test through the launcher), appended, so a
// test also sees a second start. Without STANDIN_RECORD it records nothing. As a bootstrapper
// finds its package, it reads the first line of setup.msi beside itself, by its own path, and
// records it (or "none"). With
// STANDIN_LEAVE_WINDOW it first shows a window of that caption and stays until the window is
// closed: a window that a setup leaves behind, for the kit to name.

#include <windows.h>

#include <iterator>
#include <string>

#include "desktop.h"
#include "module_path_win32.h"
#include "platform.h"

namespace {

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

// The first line of setup.msi in the program's own folder, or "none".
std::string Beside()
{
    std::wstring path = ExecutablePath().value_or(L"");
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"setup.msi";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "none";
    char text[256];
    DWORD got = 0;
    ReadFile(file, text, sizeof text, &got, nullptr);
    CloseHandle(file);
    const std::string content(text, got);
    return content.substr(0, content.find('\n'));
}

}  // namespace

int wmain()
{
    wchar_t recordPath[32768], leftCaption[256];
    if (!GetEnvironmentVariableW(L"STANDIN_RECORD", recordPath, static_cast<DWORD>(std::size(recordPath))))
        return 0;
    HWND left = GetEnvironmentVariableW(L"STANDIN_LEAVE_WINDOW", leftCaption, static_cast<DWORD>(std::size(leftCaption)))
                    ? CreateWindowExW(0, L"STATIC", leftCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 240, 120, nullptr,
                                      nullptr, nullptr, nullptr)
                    : nullptr;
    // The Windows version is what Wine imitates, under Wine.
    const std::string record = Utf8(L"path=" + ExecutablePath().value_or(L"") + L"\ncwd=" + CurrentDirectory() +
                                    L"\ncommandline=" + GetCommandLineW() + L"\nshow=" + ShowState()) +
                               "\nwindows=" + WindowsVersion() + "\nbeside=" + Beside() + "\nend\n";
    HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    MSG message;
    while (left && GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
        left = IsWindow(left) ? left : nullptr;
    }
    return ok ? 0 : 1;
}
