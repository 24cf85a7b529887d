// Entry point of the test programs that need no display: one QCoreApplication for all tests, for
// the queued reports and the child programs that need an event loop.
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    const tolvek::test::TestEnvironment environment;
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
