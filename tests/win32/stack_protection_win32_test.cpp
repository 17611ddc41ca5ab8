// The launcher's stack protection at work: a program built with the launcher's own options
// overruns a local buffer, and must end in the protector, at once, not return through its frame;
// and each run draws a guard of its own.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ios>

#include "support.h"

namespace {

// How the protector's runtime (window/stack_guard_win32.cpp) ends a program whose guard it finds
// overwritten, by a fast fail or by terminating it: the status of an overrun stack buffer.
constexpr DWORD kStackBufferOverrun = 0xC0000409;
// What stack_overrun.exe exits with when it returns through its overwritten frame.
constexpr long kReturnedThroughTheFrame = 3;

// A run of stack_overrun.exe: its exit code (-2 when it did not start, -1 when it did not end
// within a minute), the guard it drew (0 when it left none) and what its C runtime's exit code wrote.
struct OverrunRun {
    long code;
    std::uintptr_t guard;
    std::string exited;
};

OverrunRun RunStackOverrun(const wchar_t* arguments, const char* scratch)
{
    const fs::path folder = FreshScratch(scratch);
    const Process program(BinDirectory() / L"stack_overrun.exe", arguments, folder);
    const long code = program.Started() ? program.WaitForExit() : -2;
    const std::string guard = ReadText(folder / "guard");
    OverrunRun run{code, 0, ReadText(folder / "exited")};
    if (guard.size() == sizeof run.guard)
        std::memcpy(&run.guard, guard.data(), sizeof run.guard);
    return run;
}

TEST(StackProtection, AnOverrunLocalBufferEndsTheProgramInTheProtectorNotThroughItsFrame)
{
    // An end through ExitProcess writes out the runtime's buffered line; so its absence after the
    // overrun shows that the protector ended the program without the runtime's exit code.
    const OverrunRun exited = RunStackOverrun(L"--exit", "stack-overrun-exit");
    ASSERT_EQ(exited.code, 0) << "stack_overrun.exe --exit did not start, or did not end through ExitProcess";
    ASSERT_FALSE(exited.exited.empty()) << "stack_overrun.exe ended through ExitProcess without its C runtime's exit code "
                                           "writing its buffered line, so no run can show that code skipped";

    const OverrunRun overrun = RunStackOverrun(L"", "stack-overrun");
    ASSERT_NE(overrun.code, -2) << "stack_overrun.exe did not start";
    ASSERT_NE(overrun.code, -1) << "stack_overrun.exe did not end within a minute";
    EXPECT_EQ(static_cast<DWORD>(overrun.code), kStackBufferOverrun)
        << "stack_overrun.exe ended with 0x" << std::hex << static_cast<DWORD>(overrun.code)
        << (overrun.code == kReturnedThroughTheFrame ? ": it returned through its overwritten frame, unguarded" : ", not in the protector");
    EXPECT_TRUE(overrun.exited.empty())
        << "after the overrun, the C runtime's exit code ran (it wrote \"" << overrun.exited
        << "\"): the protector ended the program through ExitProcess, which runs every exit handler and DLL detach in a "
           "process whose stack is corrupt, not by a fast fail or TerminateProcess";

    // A guard that two runs share, or 0, the guard of a runtime that never drew one, is known to an
    // attacker.
    EXPECT_NE(exited.guard, 0u) << "stack_overrun.exe --exit ran with the guard 0: it was never drawn";
    EXPECT_NE(overrun.guard, 0u) << "stack_overrun.exe ran with the guard 0: it was never drawn";
    EXPECT_NE(exited.guard, overrun.guard) << "two runs of stack_overrun.exe drew the same guard, 0x" << std::hex << overrun.guard;
}

}  // namespace
