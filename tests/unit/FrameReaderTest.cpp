#include "core/playback/FrameReader.h"

#include "support/IndexedVideo.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 240;

class FrameReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        path = dir->file(QStringLiteral("indexed.wmv"));
        ASSERT_TRUE(writeIndexedWmv(path, Frames));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static inline TempDir* dir = nullptr;
    static inline QString path;
};

}  // namespace

TEST_F(FrameReaderTest, ReadsOnInOrderAndEndsWithAnEmptyFrame)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    EXPECT_EQ(int(reader.frameCountProperty()), Frames);
    for (int i = 0; i < Frames; ++i) {
        const cv::Mat f = reader.readNext();
        ASSERT_EQ(frameIndexOf(f), i);
        EXPECT_EQ(reader.lastIndex(), i);
    }
    EXPECT_TRUE(reader.readNext().empty());
    EXPECT_EQ(reader.lastIndex(), Frames - 1);
}

TEST_F(FrameReaderTest, AnyOrderOfRequestsGivesTheRightFrames)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    const int order[] = {50, 49, 48, 10, 11, 12, 40, 119, 0, 60, 30, 31, 29, 118, 117, 5, 5, 100, 70};
    for (int index : order) {
        SCOPED_TRACE(index);
        EXPECT_EQ(frameIndexOf(reader.frameAt(index)), index);
        EXPECT_EQ(reader.lastIndex(), index);
    }
    // After a jump, reading on continues behind the frame last asked for.
    reader.frameAt(30);
    EXPECT_EQ(frameIndexOf(reader.readNext()), 31);
}

TEST_F(FrameReaderTest, StepsBackAfterTheFirstComeFromTheCache)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(80)), 80);
    ASSERT_EQ(frameIndexOf(reader.frameAt(79)), 79);  // one seek, filling the frames behind
    const int seeks = reader.stats().seeks;
    const int decoded = reader.stats().decoded;
    for (int i = 78; i >= 80 - FrameReader::ReadBackWindow; --i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    EXPECT_EQ(reader.stats().seeks, seeks);
    EXPECT_EQ(reader.stats().decoded, decoded);
    // Stepping forward again through the same frames decodes nothing either.
    for (int i = 80 - FrameReader::ReadBackWindow; i <= 79; ++i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    EXPECT_EQ(reader.stats().decoded, decoded);
}

TEST_F(FrameReaderTest, ALongWalkBackSeeksOncePerWindow)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(230)), 230);
    const int seeks = reader.stats().seeks;
    for (int i = 229; i >= 30; --i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    // 200 steps, each seek filling the window behind it: the frames of one fill must survive
    // the next fill's eviction.
    const int windows = (200 + FrameReader::ReadBackWindow) / (FrameReader::ReadBackWindow + 1);
    EXPECT_LE(reader.stats().seeks - seeks, windows);
}

TEST_F(FrameReaderTest, ShortJumpsForwardSkipWithoutSeeking)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(0)), 0);
    ASSERT_EQ(frameIndexOf(reader.frameAt(FrameReader::SkipAheadLimit)), FrameReader::SkipAheadLimit);
    EXPECT_EQ(reader.stats().seeks, 0);
}

TEST_F(FrameReaderTest, RequestsOutsideTheVideoGiveNothingAndDoNotBreakLaterOnes)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    EXPECT_TRUE(reader.frameAt(-1).empty());
    EXPECT_TRUE(reader.frameAt(Frames).empty());
    EXPECT_TRUE(reader.frameAt(Frames + 500).empty());
    EXPECT_EQ(frameIndexOf(reader.frameAt(5)), 5);
    EXPECT_EQ(frameIndexOf(reader.frameAt(Frames - 1)), Frames - 1);
}

TEST_F(FrameReaderTest, FilesThatDoNotOpen)
{
    FrameReader reader;
    EXPECT_FALSE(reader.open(dir->file(QStringLiteral("missing.wmv")).toStdString()));
    EXPECT_TRUE(reader.frameAt(0).empty());
    EXPECT_TRUE(reader.readNext().empty());

    QByteArray junk;
    for (int i = 0; i < 20000; ++i)
        junk.append(char((i * 7919) & 0xff));
    ASSERT_TRUE(dir->write(QStringLiteral("junk.wmv"), junk));
    if (reader.open(dir->file(QStringLiteral("junk.wmv")).toStdString())) {
        EXPECT_TRUE(reader.frameAt(0).empty());
    }
    EXPECT_TRUE(reader.frameAt(3).empty());
}

TEST_F(FrameReaderTest, ReopensAFileReplacedUnderTheSameName)
{
    TempDir own;
    const QString p = own.file(QStringLiteral("v.wmv"));
    ASSERT_TRUE(writeIndexedWmv(p, 40));
    FrameReader reader;
    ASSERT_TRUE(reader.openIfChanged(p.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(39)), 39);
    ASSERT_TRUE(reader.openIfChanged(p.toStdString()));  // unchanged: kept open, cache kept
    EXPECT_GT(reader.cachedFrames(), 0);

    ASSERT_TRUE(QFile::remove(p));
    ASSERT_TRUE(writeIndexedWmv(p, 10, 160, 120));
    ASSERT_TRUE(reader.openIfChanged(p.toStdString()));
    EXPECT_EQ(int(reader.frameCountProperty()), 10);
    EXPECT_TRUE(reader.frameAt(39).empty());  // no stale frame from the old file
    EXPECT_EQ(frameIndexOf(reader.frameAt(9)), 9);
}
