#include <gtest/gtest.h>

#include "probe.h"

int wmain(int argc, wchar_t** argv)
{
    int exitCode = 0;
    if (RunProbe(argc, argv, exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
