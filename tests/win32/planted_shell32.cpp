// A DLL that a test lays beside the launcher under a system DLL's name. Loading it leaves a
// mark in the file named by PLANTED_DLL_MARK, so a test sees whether anything loaded it.

#include <windows.h>

#include <iterator>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t markPath[32768];
        if (GetEnvironmentVariableW(L"PLANTED_DLL_MARK", markPath, static_cast<DWORD>(std::size(markPath)))) {
            HANDLE file = CreateFileW(markPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                DWORD written = 0;
                WriteFile(file, "loaded\n", 7, &written, nullptr);
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
