// Project1.exe as it runs on a Windows whose kernel32 lacks SetDefaultDllDirectories (XP, and
// Vista or 7 without update KB2533623): the launcher's own start, window and shell, but for the
// lookup of kernel32's exports, which plays that Windows. Nothing there confines the DLL search
// for the whole program, so whatever the launcher loads must come from the system folder by itself.

#include <windows.h>

#include "old_windows.h"
#include "picture_win32.h"
#include "run_launcher_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunLauncher(instance, LoadWelcomePicture, OldKernel32Export); }
