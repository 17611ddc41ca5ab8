#include "dll_search_win32.h"

#include <windows.h>

void RestrictDllSearchToSystem()
{
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
