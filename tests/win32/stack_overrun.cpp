// Overruns a local buffer on purpose, built with the launcher's own options: twelve return
// addresses copied into room for four run over the function's stack guard, its saved registers
// and its own return address. The stack protector must end the program before the function
// returns; a return through the overwritten frame lands in OverwrittenReturn, which exits with 3.
// In its current folder it leaves "guard", the guard's bytes as drawn for this run, and "exited",
// whose line waits in the C runtime's buffer until the runtime's exit code writes it out: an end
// through ExitProcess runs that code, the protector's end must not. With "--exit" it ends through
// ExitProcess instead of overrunning, which shows the line written.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    if (FILE* guard = _wfopen(L"guard", L"wb")) {
        std::fwrite(&__stack_chk_guard, sizeof __stack_chk_guard, 1, guard);
        std::fclose(guard);
    }
    if (FILE* exited = _wfopen(L"exited", L"w"))
        std::fputs("the C runtime's exit code ran", exited);
    if (!std::wcscmp(commandLine, L"--exit"))
        ExitProcess(0);
    CopyIntoTooSmallABuffer();
    return 0;
}
