#include <windows.h>

#include <gtest/gtest.h>

#include "probe.h"

int wmain(int argc, wchar_t** argv)
{
    // A program that crashes ends at once, with no box or debugger waiting for somebody: this one,
    // and the launchers and probes it starts, which take its error mode.
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    int exitCode = 0;
    if (RunProbe(argc, argv, exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
