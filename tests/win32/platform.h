#pragma once
// What the tests need to know of the system they run on.

#include <windows.h>

#include <string>

// Where the tests run. Under Wine every check runs, some through means that only Wine has: its
// exec trace, per-program DLL choices and imitated Windows versions, a DPI set in the registry.
// On Windows, and under Wine with LAUNCHER_TESTS_AS_WINDOWS=1, every check takes the Windows way,
// and one that has none skips with its reason.
bool WineMeansAvailable();
// Wine itself, whatever the tests were told: for what its session provides (the drive M:).
bool IsWine();
// The Windows version as the system states it ("6.1"), which no compatibility setting bends.
std::string WindowsVersion();
// The DPI this program is told, as the launcher is: neither declares itself DPI-aware.
SIZE ScreenDpi();
// The desktop's own DPI, which Windows 8.1 and later do not tell a program that is not DPI-aware:
// asked as a DPI-aware thread would, where Windows has that question (10 from version 1607); the
// DPI this program is told on the Windows before it.
int DesktopDpi();
