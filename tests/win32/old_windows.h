#pragma once
// kernel32 as a Windows has it that lacks SetDefaultDllDirectories (XP, and Vista or 7 without
// update KB2533623): the launcher's lookup of kernel32's exports, as the tests play that Windows.

#include <windows.h>

#include "dll_search_win32.h"

// The exports of such a kernel32: no SetDefaultDllDirectories, and a LoadLibraryExW that refuses
// the search flags, which came with it.
FARPROC OldKernel32Export(const char* name);

// A function handed out as a kernel32 export would be.
template <typename Function>
FARPROC AsExport(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}
