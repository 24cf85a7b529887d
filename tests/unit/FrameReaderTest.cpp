#include "core/media/FrameReader.h"

#include "core/library/RecordingRecovery.h"
#include "core/media/WmvWriter.h"

#include "support/IndexedVideo.h"
#include "support/KilledRecorder.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QFile>

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 240;

class FrameReaderTest : public ::testing::Test
{
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

// A textured picture with a moving disc, at a size that is not a multiple of 16, so that the
// colour conversion has real work and the decoder's padded picture has to be cut.
QString writeTexturedWmv(const QString& path, int frames, int w, int h, double fps)
{
    media::WmvWriter writer;
    if (!writer.open(path, {w, h, fps, QString(), false, false}))
        return {};
    cv::Mat texture(h * 2, w * 2, CV_8UC3);
    cv::theRNG().state = 11;
    cv::randu(texture, cv::Scalar(0, 0, 0), cv::Scalar(255, 255, 255));
    cv::GaussianBlur(texture, texture, cv::Size(3, 3), 0);
    for (int i = 0; i < frames; ++i) {
        cv::Mat m = texture(cv::Rect(i % w, (i * 2) % h, w, h)).clone();
        cv::circle(m, {(i * 5) % w, h / 2}, h / 4, cv::Scalar(20, 200, 60), cv::FILLED);
        if (!writer.write(m))
            return {};
    }
    return writer.close() ? path : QString();
}

struct Decoded
{
    double frameCount = 0, fps = 0;
    std::vector<cv::Mat> frames;
};

Decoded readSequentially(const QString& path)
{
    Decoded d;
    cv::VideoCapture capture(path.toStdString(), cv::CAP_FFMPEG);
    if (!capture.isOpened())
        return d;
    d.frameCount = capture.get(cv::CAP_PROP_FRAME_COUNT);
    d.fps = capture.get(cv::CAP_PROP_FPS);
    cv::Mat f;
    while (capture.read(f) && !f.empty())
        d.frames.push_back(f.clone());
    return d;
}

// Compares the reader's frames, asked for in `order`, with the sequential decode; reports the
// first difference.
void expectSameFrames(FrameReader& reader, const std::vector<int>& order, const Decoded& truth, bool readOn)
{
    int wrong = 0;
    for (int i : order) {
        const cv::Mat got = readOn ? reader.readNext() : reader.frameAt(i);
        const cv::Mat& want = truth.frames[i];
        const bool same =
            got.type() == CV_8UC3 && got.size() == want.size() && cv::norm(got, want, cv::NORM_INF) == 0;
        if (!same && wrong++ == 0)
            ADD_FAILURE() << "frame " << i << " differs: got " << got.cols << "x" << got.rows << " type "
                          << got.type() << ", largest difference "
                          << (got.size() == want.size() && got.type() == want.type()
                                  ? cv::norm(got, want, cv::NORM_INF)
                                  : -1.0);
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace

// Sources: the recorder's writer, such a file cut short, the ffmpeg program, a recording killed
// before its header was finished (sizes and counts left at zero, no index of its own), and that
// recording repaired. A negative frame count (from a cut file's header) is reported as 0.
TEST(FrameReaderExactTest, FramesAndPropertiesEqualASequentialOpenCvRead)
{
    TempDir dir;
    const KilledRecording killed = recordAndKill(dir.path(), 3000);
    ASSERT_TRUE(killed.ok());
    const QString unfinished = dir.file(QStringLiteral("unfinished.wmv"));
    ASSERT_TRUE(QFile::copy(killed.path, unfinished));
    ASSERT_EQ(repairRecording(killed.path), RepairResult::Repaired);
    const QString textured = writeTexturedWmv(dir.file(QStringLiteral("t.wmv")), 75, 200, 150, 30);
    QFile whole(textured);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    ASSERT_TRUE(dir.write(QStringLiteral("cut.wmv"), whole.read(whole.size() * 2 / 3)));
    const struct
    {
        const char* what;
        QString path;
        int minFrames;
    } sources[] = {
        {"textured 200x150 at 30 fps", textured, 75},
        {"the same cut after two thirds (no index, no end)", dir.file(QStringLiteral("cut.wmv")), 40},
        {"ffmpeg testsrc 176x144 at 25 fps",
         makeFfmpegWmv(dir.file(QStringLiteral("f.wmv")), 70, QString(), 176, 144, 25), 70},
        {"unfinished recording", unfinished, 0},
        {"repaired recording", killed.path, 24},
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.what);
        ASSERT_FALSE(source.path.isEmpty());
        const Decoded truth = readSequentially(source.path);
        const int n = int(truth.frames.size());
        ASSERT_GE(n, source.minFrames);

        FrameReader forward;
        if (!forward.open(source.path.toStdString())) {
            // Only a file OpenCV cannot read either may be refused.
            EXPECT_EQ(n, 0);
            continue;
        }
        EXPECT_EQ(forward.frameCountProperty(), std::max(0.0, truth.frameCount));
        EXPECT_EQ(forward.fpsProperty(), truth.fps);
        EXPECT_EQ(forward.indexedFrames(), n);
        std::vector<int> order(n);
        std::iota(order.begin(), order.end(), 0);
        {
            SCOPED_TRACE("forward");
            expectSameFrames(forward, order, truth, true);
            EXPECT_TRUE(forward.readNext().empty());
        }
        // A cache of the minimum size, so that nearly every frame is decoded after a seek.
        FrameReader backward(0);
        ASSERT_TRUE(backward.open(source.path.toStdString()));
        std::reverse(order.begin(), order.end());
        {
            SCOPED_TRACE("backward");
            expectSameFrames(backward, order, truth, false);
        }
        FrameReader random(0);
        ASSERT_TRUE(random.open(source.path.toStdString()));
        std::shuffle(order.begin(), order.end(), std::mt19937(5));
        {
            SCOPED_TRACE("random");
            expectSameFrames(random, order, truth, false);
        }
    }
}

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

// The writer puts a key frame every 12 frames.
constexpr int Group = 12;

TEST_F(FrameReaderTest, StepsBackWithinAGroupComeFromTheCache)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(80)), 80);
    ASSERT_EQ(frameIndexOf(reader.frameAt(79)), 79); // one seek, keeping frames 72..79
    const int seeks = reader.stats().seeks;
    const int decoded = reader.stats().decoded;
    for (int i = 78; i >= 72; --i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    EXPECT_EQ(reader.stats().seeks, seeks);
    EXPECT_EQ(reader.stats().decoded, decoded);
    // Stepping forward again through the same frames decodes nothing either.
    for (int i = 72; i <= 80; ++i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    EXPECT_EQ(reader.stats().decoded, decoded);
}

TEST_F(FrameReaderTest, ALongWalkBackDecodesEachFrameOnce)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(230)), 230);
    const FrameReader::Stats before = reader.stats();
    for (int i = 229; i >= 30; --i)
        ASSERT_EQ(frameIndexOf(reader.frameAt(i)), i);
    // 200 steps back through the groups 228.., 216.., ..., 24..: one seek and one decode of
    // each group, the frames of one group surviving the next group's fill.
    EXPECT_LE(reader.stats().seeks - before.seeks, (228 - 24) / Group + 1);
    EXPECT_LE(reader.stats().decoded - before.decoded, 229 - 24 + 1);
}

TEST_F(FrameReaderTest, AnyFrameCostsAtMostOneGroupOfPictures)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(reader.indexedFrames(), Frames);
    for (int i = 0; i < Frames; ++i)
        ASSERT_EQ(reader.keyFrameAtOrBefore(i), i / Group * Group) << i;
    EXPECT_EQ(reader.keyFrameAtOrBefore(Frames), -1);

    std::mt19937 random(3);
    std::uniform_int_distribution<int> anyFrame(0, Frames - 1);
    for (int n = 0; n < 80; ++n) {
        // Jumps anywhere, and short steps back that fill the cache.
        const int target = n % 2 ? anyFrame(random) : std::max(0, reader.lastIndex() - n % 7 - 1);
        SCOPED_TRACE(target);
        const int before = reader.stats().decoded;
        ASSERT_EQ(frameIndexOf(reader.frameAt(target)), target);
        EXPECT_LE(reader.stats().decoded - before, target - reader.keyFrameAtOrBefore(target) + 1);
    }
}

TEST_F(FrameReaderTest, AJumpForwardInsideAGroupDecodesOnWithoutSeeking)
{
    FrameReader reader;
    ASSERT_TRUE(reader.open(path.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(0)), 0);
    ASSERT_EQ(frameIndexOf(reader.frameAt(11)), 11);
    EXPECT_EQ(reader.stats().seeks, 0);
    EXPECT_EQ(reader.stats().decoded, 12);
    // Past a key frame, the decoder goes to that key frame instead of decoding the frames between.
    ASSERT_EQ(frameIndexOf(reader.frameAt(40)), 40);
    EXPECT_EQ(reader.stats().seeks, 1);
    EXPECT_EQ(reader.stats().decoded, 12 + 5);
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

TEST_F(FrameReaderTest, FilesWithoutReadableVideo)
{
    FrameReader reader;
    EXPECT_FALSE(reader.open(dir->file(QStringLiteral("missing.wmv")).toStdString()));
    EXPECT_TRUE(reader.frameAt(0).empty());
    EXPECT_TRUE(reader.readNext().empty());

    QByteArray junk;
    for (int i = 0; i < 20000; ++i)
        junk.append(char((i * 7919) & 0xff));
    QFile good(path);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray header = good.read(200); // cut inside the ASF header
    const struct
    {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"empty.wmv", QByteArray()},
        {"junk.wmv", junk},
        {"text.wmv", QByteArray("not a video at all\n").repeated(50)},
        {"header.wmv", header},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(dir->write(QString::fromLatin1(f.name), f.bytes));
        if (reader.open(dir->file(QString::fromLatin1(f.name)).toStdString())) {
            EXPECT_TRUE(reader.frameAt(0).empty());
            EXPECT_TRUE(reader.frameAt(30).empty());
            EXPECT_TRUE(reader.readNext().empty());
        }
        EXPECT_TRUE(reader.frameAt(3).empty());
    }
}

TEST_F(FrameReaderTest, ReopensAFileReplacedUnderTheSameName)
{
    TempDir own;
    const QString p = own.file(QStringLiteral("v.wmv"));
    ASSERT_TRUE(writeIndexedWmv(p, 40));
    FrameReader reader;
    ASSERT_TRUE(reader.openIfChanged(p.toStdString()));
    ASSERT_EQ(frameIndexOf(reader.frameAt(39)), 39);
    ASSERT_TRUE(reader.openIfChanged(p.toStdString())); // unchanged: kept open, cache kept
    EXPECT_GT(reader.cachedFrames(), 0);

    ASSERT_TRUE(QFile::remove(p));
    ASSERT_TRUE(writeIndexedWmv(p, 10, 160, 120));
    ASSERT_TRUE(reader.openIfChanged(p.toStdString()));
    EXPECT_EQ(int(reader.frameCountProperty()), 10);
    EXPECT_TRUE(reader.frameAt(39).empty()); // no stale frame from the old file
    EXPECT_EQ(frameIndexOf(reader.frameAt(9)), 9);
}
