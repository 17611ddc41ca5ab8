// The stack protector's runtime, in place of GCC's libssp: every part of the launcher is compiled
// with -fstack-protector-strong, which has each function with a local array keep a copy of
// __stack_chk_guard in its frame and call __stack_chk_fail when the copy differs on return.
// libssp draws its guard through CryptAcquireContext, which loads a cryptographic provider and
// costs the launcher's start some milliseconds; RtlGenRandom draws one without (Windows XP has
// it). A wrong guard ends the program at once, as Windows's own runtime does: with a fast fail
// where the processor and Windows offer it (Windows 8 and later), which no handler can intercept,
// and otherwise by terminating the process, either way with STATUS_STACK_BUFFER_OVERRUN.

#include <windows.h>
#include <ntsecapi.h>

extern "C" {

void* __stack_chk_guard;

// Runs before the program's own code, in the runtime's start, whose frames keep no guard; it
// must keep none itself, as the guard changes under it.
__attribute__((constructor, no_stack_protector)) static void DrawStackGuard()
{
    if (!RtlGenRandom(&__stack_chk_guard, sizeof __stack_chk_guard) || !__stack_chk_guard)
        __stack_chk_guard = reinterpret_cast<void*>(static_cast<ULONG_PTR>(GetTickCount() ^ GetCurrentProcessId()) | 1);
}

[[noreturn]] void __stack_chk_fail()
{
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE))
        asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE));
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

}  // extern "C"
