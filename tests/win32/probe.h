#pragma once
// The test program doubles as a probe: a test copies it to where a launcher would lie and starts
// the copy with one of these modes, so the Win32 launch code runs from that place for real.
//   --report-directory OUT    writes the launcher directory (UTF-8) to OUT
//   --launch CONTROL OUT      runs the launch of that button with the Windows shell, and writes
//                             the shell's result to OUT before the program ends
//   --load-shell32-plainly    loads shell32 with the default search order and no restriction

// Runs the probe mode named by the arguments; returns false when they name none.
bool RunProbe(int argc, wchar_t** argv, int& exitCode);
