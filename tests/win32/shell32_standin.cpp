// A DLL named shell32.dll that stands in for the Windows shell in two tests.
// Planted beside a program: loading it leaves a mark in the file named by PLANTED_DLL_MARK, so a
// test sees whether anything loaded it.
// Loaded into a running launcher before its first press (a later load of shell32 then returns
// it): its ShellExecuteA appends each request to the file named by SHELL_STANDIN_RECORD, then
// runs the caller's messages until the event named by SHELL_STANDIN_RELEASE is set (a minute at
// most), as the real shell does while it waits on COM or on a box that the window owns.

#define WIN32_LEAN_AND_MEAN  // leaves out the shell's own declaration of ShellExecuteA
#include <windows.h>

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

extern "C" __declspec(dllexport) HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT)
{
    const std::wstring record = Environment(L"SHELL_STANDIN_RECORD");
    if (!record.empty())
        Append(record, std::string(file ? file : "") + "\n");
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, Environment(L"SHELL_STANDIN_RELEASE").c_str());
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (release && GetTickCount64() < deadline &&
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
