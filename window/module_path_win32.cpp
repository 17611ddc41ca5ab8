#include "module_path_win32.h"

#include <windows.h>

std::optional<std::wstring> ExecutablePath(unsigned long initialCapacity)
{
    // Media on USB sticks and shares nest deeper than MAX_PATH, so the buffer grows until the
    // path fits; the long-path limit of the system bounds it.
    constexpr DWORD kLongestPath = 32768;
    std::wstring path;
    for (DWORD capacity = initialCapacity ? initialCapacity : 1; capacity <= kLongestPath; capacity *= 2) {
        path.resize(capacity);
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), capacity);
        if (length == 0)
            return std::nullopt;
        if (length < capacity && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            path.resize(length);
            return path;
        }
    }
    return std::nullopt;
}
