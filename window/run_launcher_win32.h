#pragma once
#include <windows.h>

#include "dll_search_win32.h"
#include "launcher_window_win32.h"

// The launcher from its start to its end: the DLL search confined first, the window's thread made a
// single-threaded apartment, the window built with the picture `loadPicture` gives, shown and run
// until a choice or a close ends it. `lookup` finds kernel32's exports: the real ones, or in tests
// an older Windows's.
int RunLauncher(HINSTANCE instance, PictureLoader loadPicture, Kernel32Lookup lookup);
