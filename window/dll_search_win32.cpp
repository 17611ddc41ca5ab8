#include "dll_search_win32.h"

#include <algorithm>
#include <cwchar>

namespace {
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryWFunction = BOOL(WINAPI*)(LPCWSTR);
using LoadLibraryExWFunction = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
}  // namespace

FARPROC Kernel32Export(const char* name)
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

void RestrictDllSearchToSystem(Kernel32Lookup lookup)
{
    if (auto setDefault = FunctionOf<SetDefaultDllDirectoriesFunction>(lookup("SetDefaultDllDirectories")))
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    else if (auto setDirectory = FunctionOf<SetDllDirectoryWFunction>(lookup("SetDllDirectoryW")))
        setDirectory(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name, Kernel32Lookup lookup)
{
    const auto loadLibraryEx = FunctionOf<LoadLibraryExWFunction>(lookup("LoadLibraryExW"));
    if (!loadLibraryEx)
        return nullptr;
    // The search flags came with SetDefaultDllDirectories; where it is missing, LoadLibraryExW
    // refuses them as an invalid parameter.
    if (lookup("SetDefaultDllDirectories"))
        return loadLibraryEx(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t path[MAX_PATH];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = wcslen(name);
    if (folder == 0 || folder + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[folder] = L'\\';
    std::copy_n(name, nameLength + 1, path + folder + 1);
    // The DLL's own imports are then looked for beside it, in the system folder, before the
    // launcher's folder.
    return loadLibraryEx(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
