#include "core/capture/DiskSpaceGuard.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tolvek;

TEST(DiskSpaceGuard, Verdicts)
{
    constexpr qint64 MiB = 1024 * 1024;
    const struct
    {
        qint64 available, rate;
        DiskSpaceVerdict::Kind kind;
    } cases[] = {
        {-1, 0, DiskSpaceVerdict::FolderGone},           {0, 0, DiskSpaceVerdict::LowSpace},
        {63 * MiB, 0, DiskSpaceVerdict::LowSpace},       {64 * MiB, 0, DiskSpaceVerdict::Fine},
        {64 * MiB, 4 * MiB, DiskSpaceVerdict::LowSpace}, // 20 s at 4 MiB/s needs 80 MiB
        {80 * MiB, 4 * MiB, DiskSpaceVerdict::Fine},     {10'000 * MiB, -5, DiskSpaceVerdict::Fine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.available << " at " << c.rate);
        EXPECT_EQ(DiskSpaceGuard::judge(c.available, c.rate).kind, c.kind);
    }
}

TEST(DiskSpaceGuard, ProbeSeesMissingFolders)
{
    tolvek::test::TempDir dir;
    EXPECT_GT(DiskSpaceGuard::availableBytes(dir.path()), 0);
    EXPECT_EQ(DiskSpaceGuard::availableBytes(dir.file("gone")), -1);
    ASSERT_TRUE(dir.write("plain", "x"));
    EXPECT_EQ(DiskSpaceGuard::availableBytes(dir.file("plain")), -1);
}
