#include <windows.h>

#include "picture_win32.h"
#include "run_launcher_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return RunLauncher(instance, LoadWelcomePicture, Kernel32Export); }
