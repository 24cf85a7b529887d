// Entry point of the test programs that need no display.
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const tolvek::test::TestEnvironment environment;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
