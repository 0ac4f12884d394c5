// The main of every test program: runs GoogleTest, or one child entry when started as
// "<program> --lumo-child NAME ARGS...".
#include <cstring>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "WineDifferences.h"

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--lumo-child") == 0) {
        TestChildEntry entry = FindTestChild(argv[2]);
        return entry ? entry(argc - 3, argv + 3) : 125;
    }
    ::testing::InitGoogleTest(&argc, argv);
    SkipTestsWhereWineDiffers();
    return RUN_ALL_TESTS();
}
