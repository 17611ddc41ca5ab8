#pragma once
// The medium may be a writable stick or share: a DLL lying beside the launcher, or in the folder
// it was started from, must never be loaded in place of the system's own.
//
// Windows 8 and later, and Vista or 7 with update KB2533623, can confine loads to the system
// folder. Older ones cannot, and their kernel32 lacks the functions that do it, so these are
// looked up at run time: imported, they would keep the launcher from starting at all there.

#include <windows.h>

// Finds a kernel32 export by name; null where this Windows lacks it. Everything here that differs
// from one Windows to another is reached through it, the library loading included (older ones
// refuse the search flags), so that tests can pass another to play an older Windows whole. The
// run's start takes one, and every part of the run is handed that one: none reaches for the real
// one by itself.
using Kernel32Lookup = FARPROC (*)(const char* name);
FARPROC Kernel32Export(const char* name);

// An export, found by name, as the function it is; null where it is missing.
template <typename Function>
Function FunctionOf(FARPROC export_)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(export_));
}

// Confines the program's DLL search to the system folder where Windows can; elsewhere takes the
// current folder out of it (the launcher's own folder stays in: older Windows cannot drop it).
// Call first thing, before anything loads a library.
void RestrictDllSearchToSystem(Kernel32Lookup lookup);

// The system's DLL of that name, never a namesake from elsewhere: searched for in the system
// folder alone where Windows can, loaded by its full path in the system folder where not. Null
// when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name, Kernel32Lookup lookup);
