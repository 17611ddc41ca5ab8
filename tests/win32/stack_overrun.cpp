// Overruns a local buffer on purpose, built with the launcher's own options: twelve return
// addresses copied into room for four run over the function's stack guard, its saved registers
// and its own return address. The stack protector must end the program before the function
// returns; a return through the overwritten frame lands in OverwrittenReturn, which exits with 3.
// A guard never drawn, still 0 when the program's code runs, exits with 4 before the overrun.

#include <windows.h>

#include <cstring>

extern "C" void* __stack_chk_guard;  // the protector's runtime draws it

namespace {

using Code = void (*)();

[[noreturn]] void OverwrittenReturn() { ExitProcess(3); }

const Code kOverrun[12] = {OverwrittenReturn, OverwrittenReturn, OverwrittenReturn, OverwrittenReturn,
                           OverwrittenReturn, OverwrittenReturn, OverwrittenReturn, OverwrittenReturn,
                           OverwrittenReturn, OverwrittenReturn, OverwrittenReturn, OverwrittenReturn};
// Read when the program runs, so that the compiler cannot see the overrun coming.
volatile size_t overrunBytes = sizeof kOverrun;

__attribute__((noinline)) void CopyIntoTooSmallABuffer()
{
    Code buffer[4];
    std::memcpy(buffer, kOverrun, overrunBytes);
    asm volatile("" : : "r"(buffer) : "memory");  // the buffer counts as used, so the copy stays
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (!__stack_chk_guard)
        ExitProcess(4);
    CopyIntoTooSmallABuffer();
    return 0;
}
