// Every program of the Windows test kit starts on Windows XP too. The threads library that the
// C++ runtime brings along (winpthreads) imports GetTickCount64, which XP's kernel32 lacks, and a
// single import that is missing keeps a program from starting at all. So the kit's programs
// carry the import's slot themselves, which the linker then takes instead of kernel32's: it
// calls GetTickCount64 where kernel32 has it. On XP the 32-bit count stands in; it wraps after
// 49 days, far beyond any wait of a test.

#include <windows.h>

namespace {
ULONGLONG WINAPI TickCount64()
{
    using Function = ULONGLONG(WINAPI*)();
    static const auto system = reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    return system ? system() : GetTickCount();
}
}  // namespace

// The slot's name as the 32-bit linker sees an import of a stdcall function without arguments.
extern "C" ULONGLONG(WINAPI* const tickCount64Slot)() __asm__("__imp__GetTickCount64@0");
extern "C" ULONGLONG(WINAPI* const tickCount64Slot)() = TickCount64;
