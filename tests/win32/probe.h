#pragma once
// The test program doubles as a probe: a test copies it to where a launcher would lie and starts
// the copy with one of these modes, so the Win32 launch code runs from that place for real.
//   --report-directory OUT          writes the launcher directory (UTF-8) to OUT
//   --launch CONTROL OUT            runs the launch of that button with the Windows shell, and
//                                   writes the shell's result to OUT before the program ends
//   --launch-on-old-windows CONTROL OUT
//                                   the same, with the shell bound as on a Windows whose kernel32
//                                   lacks SetDefaultDllDirectories (XP, and Vista or 7 without
//                                   update KB2533623)
//   --load-shell32-plainly          loads shell32 by name with the default search order
//   --restrict-then-load-shell32-plainly
//                                   the same after the program-wide restriction of the search
// No mode restricts the search unless it says so, so that each defence against a planted DLL is
// seen on its own.

// Runs the probe mode named by the arguments; returns false when they name none.
bool RunProbe(int argc, wchar_t** argv, int& exitCode);
