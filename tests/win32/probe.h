#pragma once
// The test program doubles as a probe: a test copies it to where a launcher would lie and starts
// the copy with one of these modes, so the Win32 launch code runs from that place for real.
//   --report-directory OUT          writes the launcher directory (UTF-8) to OUT
//   --launch WINDOWS CONTROL OUT    runs the launch of that button with the Windows shell, and
//                                   writes the shell's result to OUT before the program ends
//   --load WINDOWS HOW NAME         loads the DLL NAME; exits 0 when it was loaded, 1 when not
// WINDOWS is the Windows that the launch code meets:
//   this        the one at hand
//   old         one whose kernel32 lacks SetDefaultDllDirectories and whose LoadLibraryExW
//               refuses the search flags: XP, and Vista or 7 without update KB2533623
//   no-shell32  the one at hand, but its loader finds no shell32.dll
// HOW is how the DLL is asked for:
//   plainly     by name with the default search order
//   restricted  by name after the program-wide restriction of the search, as the launcher's
//               start makes it
//   system      as the launcher binds shell32: from the system folder only
// No mode restricts the search unless it says so, so that each defence against a planted DLL is
// seen on its own.

#include <windows.h>

#include "old_windows.h"

// Runs the probe mode named by the arguments; returns false when they name none.
bool RunProbe(int argc, wchar_t** argv, int& exitCode);
