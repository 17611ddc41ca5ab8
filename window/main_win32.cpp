#include <windows.h>

#include "dll_search_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    RestrictDllSearchToSystem();
    return 0;
}
