// A DLL named shell32.dll that stands in for the Windows shell in two tests.
// Planted beside a program: loading it leaves a mark in the file named by PLANTED_DLL_MARK, so a
// test sees whether anything loaded it.
// Loaded into a running launcher before its first press (a later load of shell32 then returns
// it): its ShellExecuteA appends each request, all six arguments, to the file named by
// SHELL_STANDIN_RECORD, then runs the caller's messages until the event named by
// SHELL_STANDIN_RELEASE is set (a minute at most), as the real shell does while it waits on COM
// or on a box that the window owns.

#define WIN32_LEAN_AND_MEAN  // leaves out the shell's own declaration of ShellExecuteA
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

void Append(const std::wstring& file, const std::string& text)
{
    HANDLE out = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(out);
}

// A string argument as the caller meant it, in the ANSI code page, recorded in UTF-8 as every
// record is; "<null>" tells an absent one from an empty one.
std::string Text(LPCSTR text)
{
    if (!text)
        return "<null>";
    wchar_t wide[32768];
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, static_cast<int>(std::size(wide)));
    char utf8[3 * 32768];
    return length > 0 && WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) > 0 ? utf8 : "<unreadable>";
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        const std::wstring mark = Environment(L"PLANTED_DLL_MARK");
        if (!mark.empty())
            Append(mark, "loaded\n");
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                                               LPCSTR directory, INT show)
{
    const std::wstring record = Environment(L"SHELL_STANDIN_RECORD");
    if (!record.empty()) {
        char handle[16];
        std::snprintf(handle, sizeof handle, "%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(owner)));
        Append(record, "owner=" + std::string(handle) + "\nverb=" + Text(verb) + "\nfile=" + Text(file) +
                           "\nparameters=" + Text(parameters) + "\ndirectory=" + Text(directory) +
                           "\nshow=" + std::to_string(show) + "\nend\n");
    }
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, Environment(L"SHELL_STANDIN_RELEASE").c_str());
    const DWORD start = GetTickCount();
    while (release && GetTickCount() - start < 60000 &&
           MsgWaitForMultipleObjects(1, &release, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (release)
        CloseHandle(release);
    return reinterpret_cast<HINSTANCE>(42);
}
