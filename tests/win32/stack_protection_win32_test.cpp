// The launcher's stack protection at work: a program built with the launcher's own options
// overruns a local buffer, and must end in the protector, not return through its frame.

#include <gtest/gtest.h>

#include <ios>

#include "support.h"

namespace {

// How the protector's runtime (window/stack_guard_win32.cpp) ends a program whose guard it finds
// overwritten, by a fast fail or by terminating it: the status of an overrun stack buffer.
constexpr DWORD kStackBufferOverrun = 0xC0000409;
// What stack_overrun.exe exits with when it returns through its overwritten frame, or finds its
// guard never drawn.
constexpr long kReturnedThroughTheFrame = 3, kGuardNeverDrawn = 4;

TEST(StackProtection, AnOverrunLocalBufferEndsTheProgramInTheProtectorNotThroughItsFrame)
{
    const Process overrun(BinDirectory() / L"stack_overrun.exe", L"", FreshScratch("stack-overrun"));
    ASSERT_TRUE(overrun.Started()) << "stack_overrun.exe did not start";
    const long code = overrun.WaitForExit();
    ASSERT_NE(code, -1) << "stack_overrun.exe did not end within a minute";
    EXPECT_EQ(static_cast<DWORD>(code), kStackBufferOverrun)
        << "stack_overrun.exe ended with 0x" << std::hex << static_cast<DWORD>(code)
        << (code == kReturnedThroughTheFrame ? ": it returned through its overwritten frame, unguarded"
            : code == kGuardNeverDrawn       ? ": its stack guard was never drawn, and is 0"
                                             : ", not in the protector");
}

}  // namespace
