#include "old_windows.h"

#include <string_view>

namespace {

// The search flags (LOAD_LIBRARY_SEARCH_*) came with SetDefaultDllDirectories; a LoadLibraryExW
// from before refuses them as an invalid parameter.
constexpr DWORD kSearchFlags = 0x1F00;

HMODULE WINAPI OldLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    if (flags & kSearchFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryExW(name, file, flags);
}

}  // namespace

FARPROC OldKernel32Export(const char* name)
{
    const std::string_view wanted(name);
    if (wanted == "SetDefaultDllDirectories")
        return nullptr;
    if (wanted == "LoadLibraryExW")
        return AsExport(OldLoadLibraryExW);
    return Kernel32Export(name);
}
