// The trim worker on real WMV files whose frames carry their index: the output holds exactly the
// marked frames, appears only when complete, never replaces a file and leaves nothing behind when
// cancelled or failing; the trimmed file's name; the re-ID worker's burnt-in label, and its
// refusal to replace or leave behind files.

#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"
#include "core/media/HeadTrack.h"
#include "core/settings/VideoFileName.h"
#include "support/IdLabelVideo.h"
#include "support/IndexedVideo.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QString Source = QStringLiteral("0000012320240305140709.wmv");

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

std::vector<int> decodedIndices(const QString& path)
{
    std::vector<int> indices;
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    while (cap.read(frame) && !frame.empty())
        indices.push_back(frameIndexOf(frame));
    return indices;
}

std::vector<int> sequence(int first, int count)
{
    std::vector<int> v;
    for (int i = 0; i < count; ++i)
        v.push_back(first + i);
    return v;
}

class TrimWorkerTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path();
    }
    QString path(const QString& name) const { return folder + u'/' + name; }

    std::shared_ptr<TrimWorkerState> state(int start, int end, int sliderLength, const QString& target) const
    {
        auto s = std::make_shared<TrimWorkerState>();
        s->rangeStart = start;
        s->rangeEnd = end;
        s->sliderLength = sliderLength;
        s->fps = 30;
        s->frameWidth = 160;
        s->frameHeight = 120;
        s->sourcePath = path(Source);
        s->targetPath = target;
        s->running = true;
        return s;
    }

    QTemporaryDir dir;
    QString folder;
};

} // namespace

TEST_F(TrimWorkerTest, TheOutputHoldsExactlyTheMarkedFrames)
{
    ASSERT_TRUE(writeIndexedWmv(path(Source), 60));
    struct Case
    {
        int start, end, first, count;
    };
    // Slider of 600 pixels over 60 frames: position p marks frame p x 59 / 599, both marked
    // frames included.
    const Case cases[] = {
        {0, 300, 0, 30},   // from the first frame
        {100, 400, 9, 31}, // from the middle
        {555, 600, 54, 6}, // up to the end: the last frame is written
        {7, 40, 0, 4},     // a start inside frame 0
        {579, 600, 57, 3}, // the shortest range at the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        const QString target = path(QStringLiteral("out.wmv"));
        auto s = state(c.start, c.end, 600, target);
        EXPECT_EQ(TrimWorker(s), 0);
        ASSERT_EQ(s->result.load(), TrimResult::Done);
        EXPECT_FALSE(s->running.load());
        EXPECT_TRUE(s->ended.load());
        EXPECT_EQ(s->framesTotal.load(), 60);
        EXPECT_EQ(s->framesDone.load(), c.count);
        EXPECT_EQ(s->expectedFrames(), c.count);
        EXPECT_EQ(decodedIndices(target), sequence(c.first, c.count));
        EXPECT_EQ(entries(folder), (QStringList{Source, QStringLiteral("out.wmv")})); // no working file
        ASSERT_TRUE(QFile::remove(target));
    }
}

TEST_F(TrimWorkerTest, NothingIsWrittenOrReplacedWhenTheRunCannotComplete)
{
    ASSERT_TRUE(writeIndexedWmv(path(Source), 30));
    const QString target = path(QStringLiteral("0000012320240305140710.wmv"));

    // An existing target keeps its bytes.
    ASSERT_TRUE(QFile::copy(path(Source), target));
    const QByteArray before = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    auto refused = state(0, 50, 100, target);
    TrimWorker(refused);
    EXPECT_EQ(refused->result.load(), TrimResult::TargetExists);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();
    ASSERT_TRUE(QFile::remove(target));

    // Cancelled after the output was opened: it is removed again.
    auto cancelled = state(0, 50, 100, target);
    cancelled->running = false;
    TrimWorker(cancelled);
    EXPECT_EQ(cancelled->result.load(), TrimResult::Cancelled);
    EXPECT_EQ(cancelled->framesDone.load(), 0);
    EXPECT_EQ(entries(folder), QStringList{Source});

    // An unreadable source, an unwritable folder.
    ASSERT_TRUE(QFile(path(QStringLiteral("0000000120240101000000.wmv"))).open(QIODevice::WriteOnly));
    auto unreadable = state(0, 50, 100, target);
    unreadable->sourcePath = path(QStringLiteral("0000000120240101000000.wmv"));
    TrimWorker(unreadable);
    EXPECT_EQ(unreadable->result.load(), TrimResult::SourceUnreadable);

    auto unwritable = state(0, 50, 100, folder + QStringLiteral("/no/such/x.wmv"));
    TrimWorker(unwritable);
    EXPECT_EQ(unwritable->result.load(), TrimResult::TargetUnwritable);

    for (const auto& s : {unreadable, unwritable}) {
        EXPECT_FALSE(s->running.load());
        EXPECT_TRUE(s->ended.load());
    }
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("0000000120240101000000.wmv"), Source}));
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A source that stops being readable part-way: neither worker takes the frames before the damage
// for the whole, both leave no output and the source as it was. A range wholly before the damage
// still trims.
TEST_F(TrimWorkerTest, ASourceThatTurnsUnreadablePartWayIsNeverCopiedShort)
{
    struct Case
    {
        const char* what;
        VideoDamage damage;
    };
    const Case cases[] = {
        {"cut off at half", VideoDamage::CutOff},
        {"zeros from half on", VideoDamage::Zeroed},
        {"noise from half on", VideoDamage::Noise},
    };
    const QString target = path(QStringLiteral("0000012320240305140710.wmv"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path(Source));
        ASSERT_TRUE(writeIndexedWmv(path(Source), 120));
        ASSERT_TRUE(damageVideo(path(Source), c.damage));
        const QByteArray damaged = bytesOf(path(Source));
        const int readable = countDecodedFrames(path(Source));
        ASSERT_GT(readable, 30);
        ASSERT_LT(readable, 110);

        auto reId = state(0, 0, 600, target);
        reId->newId = 456;
        ReburnIdWorker(reId);
        EXPECT_EQ(reId->result.load(), TrimResult::SourceCutShort);
        EXPECT_EQ(reId->expectedFrames(), 120);
        EXPECT_LT(reId->framesDone.load(), 110);

        auto trim = state(100, 590, 600, target); // frames 19..117
        TrimWorker(trim);
        EXPECT_EQ(trim->result.load(), TrimResult::SourceCutShort);
        EXPECT_EQ(trim->expectedFrames(), 99);

        EXPECT_EQ(entries(folder), QStringList{Source});
        EXPECT_EQ(bytesOf(path(Source)), damaged);

        auto head = state(0, 150, 600, target); // frames 0..29, all readable
        TrimWorker(head);
        ASSERT_EQ(head->result.load(), TrimResult::Done);
        EXPECT_EQ(decodedIndices(target), sequence(0, 30));
        ASSERT_TRUE(QFile::remove(target));
    }
}

// Whole videos of every length and rate, as the recorder's writer and the ffmpeg program make them,
// down to a single frame whose rate no demuxer can measure: a re-encode of any of them is complete.
TEST_F(TrimWorkerTest, AReEncodeOfAnyWholeVideoCountsAsComplete)
{
    struct Case
    {
        int frames, fps;
        bool ffmpeg;
    };
    const Case cases[] = {{1, 30, false},  {2, 5, false},    {3, 15, false}, {3, 60, false}, {4, 30, false},
                          {31, 25, false}, {301, 30, false}, {1, 30, true},  {3, 30, true},  {90, 30, true}};
    const QString target = path(QStringLiteral("0000045620240305140709.wmv"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.frames << " frames at " << c.fps << (c.ffmpeg ? " by ffmpeg" : ""));
        QFile::remove(path(Source));
        const QString made = c.ffmpeg ? makeFfmpegWmv(path(Source), c.frames, QString(), 64, 48, c.fps)
                                      : makeTestWmv(path(Source), c.frames, 64, 48, c.fps);
        ASSERT_FALSE(made.isEmpty());
        ASSERT_EQ(countDecodedFrames(made), c.frames);
        auto s = state(0, 0, 600, target);
        s->newId = 456;
        ReburnIdWorker(s);
        EXPECT_EQ(s->result.load(), TrimResult::Done);
        EXPECT_EQ(s->framesDone.load(), c.frames);
        EXPECT_EQ(countDecodedFrames(target), c.frames);
        QFile::remove(target);
    }
}

TEST(CopyIsComplete, AShortfallBeyondRoundingFails)
{
    struct Case
    {
        int done, expected;
        bool complete;
    };
    const Case cases[] = {{0, 0, true},       {1, 3, true},       {0, 3, false},
                          {98, 100, true},    {97, 100, false},   {990, 1000, true},
                          {989, 1000, false}, {500, 1000, false}, {1000, 1000, true}};
    for (const Case& c : cases)
        EXPECT_EQ(copyIsComplete(c.done, c.expected), c.complete) << c.done << " of " << c.expected;
}

TEST_F(TrimWorkerTest, ACancelDuringTheCopyStopsAndRemovesThePartialOutput)
{
    ASSERT_TRUE(writeIndexedWmv(path(Source), 400));
    auto s = state(0, 1000, 1000, path(QStringLiteral("out.wmv")));
    std::thread worker(TrimWorker, s);
    while (s->framesDone < 5 && !s->ended)
        std::this_thread::yield();
    s->running = false;
    worker.join();
    // A worker faster than this test may have finished; then its output is complete.
    if (s->result.load() == TrimResult::Cancelled) {
        EXPECT_LT(s->framesDone.load(), 400);
        EXPECT_EQ(entries(folder), QStringList{Source});
    } else {
        ASSERT_EQ(s->result.load(), TrimResult::Done);
        EXPECT_EQ(countDecodedFrames(path(QStringLiteral("out.wmv"))), 400);
    }
}

TEST(TrimmedFileName, TheTimeMovesOnByTheTrimmedHeadAndNeverOntoAnExistingFile)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    auto name = [&](const QString& source, int start, int frames, int length, int fps) {
        const std::optional<QString> p =
            makeTrimmedFileName(folder + u'/' + source, start, frames, length, fps);
        return p ? *p : QStringLiteral("none");
    };
    auto in = [&](const char* n) { return folder + u'/' + QLatin1String(n); };
    struct Case
    {
        const char* source;
        int start, frames, length, fps;
        const char* expected; // nullptr: no name
    };
    const Case cases[] = {
        {"0000012320240305140709.wmv", 0, 900, 600, 30, "0000012320240305140710.wmv"},   // start: +1 s
        {"0000012320240305140709.wmv", 200, 900, 600, 30, "0000012320240305140719.wmv"}, // 300 frames: +10 s
        {"0000012320240305140709.wmv", 1, 900, 600, 30, "0000012320240305140710.wmv"},  // frame 1: still +1 s
        {"0000012320240305140709.wmv", 200, 900, 600, 0, "0000012320240305140710.wmv"}, // no rate: +1 s
        {"9900000020241231235959.wmv", 20, 900, 600, 30, "9900000020250101000000.wmv"}, // over the year
        {"0000012319690101000000.wmv", 0, 900, 600, 30, nullptr},                       // before 1970
        {"0000012320241301000000.wmv", 0, 900, 600, 30, nullptr},                       // month 13
        {"0000012320240305246000.wmv", 0, 900, 600, 30, nullptr},                       // hour 24
        {"eye.wmv", 0, 900, 600, 30, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(name(QLatin1String(c.source), c.start, c.frames, c.length, c.fps),
                  c.expected ? in(c.expected) : QStringLiteral("none"))
            << c.source << " from " << c.start;

    // Names taken already step on one second each.
    for (const char* taken : {"0000012320240305140719.wmv", "0000012320240305140720.wmv"})
        ASSERT_TRUE(QFile(in(taken)).open(QIODevice::WriteOnly));
    EXPECT_EQ(name(QStringLiteral("0000012320240305140709.wmv"), 200, 900, 600, 30),
              in("0000012320240305140721.wmv"));
}

TEST_F(TrimWorkerTest, ReIdBurnsTheNewIdIntoEveryFrameAndKeepsTheSource)
{
    ASSERT_FALSE(makeIdLabelWmv(path(Source), 20, 123).isEmpty());
    const qint64 sourceSize = QFileInfo(path(Source)).size();
    const QString renamed = replaceVideoId(Source, 87654321);
    auto s = state(0, 0, 600, path(renamed));
    s->newId = 87654321;
    EXPECT_EQ(s->reIdMode(), true);
    ReburnIdWorker(s);
    ASSERT_EQ(s->result.load(), TrimResult::Done);
    EXPECT_EQ(s->framesDone.load(), 20);
    EXPECT_EQ(s->expectedFrames(), 20);
    EXPECT_EQ(countDecodedFrames(path(renamed)), 20);
    EXPECT_EQ(QFileInfo(path(Source)).size(), sourceSize);
    EXPECT_EQ(entries(folder), (QStringList{Source, renamed})); // no working file left

    for (int frame : {0, 19}) {
        const double asNew = idLabelDifference(path(renamed), frame, 87654321);
        const double asOld = idLabelDifference(path(renamed), frame, 123);
        ASSERT_GE(asNew, 0);
        EXPECT_LT(asNew * 2, asOld) << "frame " << frame << ": new " << asNew << ", old " << asOld;
    }
    // The source still shows the old label.
    EXPECT_LT(idLabelDifference(path(Source), 0, 123) * 2, idLabelDifference(path(Source), 0, 87654321));
}

TEST_F(TrimWorkerTest, ReIdWritesNothingWhenCancelledRefusedOrUnreadable)
{
    ASSERT_FALSE(makeIdLabelWmv(path(Source), 10, 123).isEmpty());
    const QString target = path(replaceVideoId(Source, 456));
    auto reId = [&](const QString& source, const QString& to, bool running) {
        auto s = state(0, 0, 600, to);
        s->sourcePath = source;
        s->newId = 456;
        s->running = running;
        ReburnIdWorker(s);
        EXPECT_FALSE(s->running.load());
        EXPECT_TRUE(s->ended.load());
        return s->result.load();
    };

    EXPECT_EQ(reId(path(Source), target, false), TrimResult::Cancelled);
    EXPECT_EQ(entries(folder), QStringList{Source});

    // An existing file of the new name is never replaced.
    ASSERT_TRUE(QFile::copy(path(Source), target));
    const qint64 existing = QFileInfo(target).size();
    EXPECT_EQ(reId(path(Source), target, true), TrimResult::TargetExists);
    EXPECT_EQ(QFileInfo(target).size(), existing);
    ASSERT_TRUE(QFile::remove(target));

    // Not a video: nothing is written.
    const QString empty = path(QStringLiteral("0000000120240101000000.wmv"));
    ASSERT_TRUE(QFile(empty).open(QIODevice::WriteOnly));
    EXPECT_EQ(reId(empty, target, true), TrimResult::SourceUnreadable);
    EXPECT_FALSE(QFileInfo::exists(target));

    // A target folder that does not exist.
    EXPECT_EQ(reId(path(Source), folder + QStringLiteral("/no/such/") + replaceVideoId(Source, 456), true),
              TrimResult::TargetUnwritable);
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("0000000120240101000000.wmv"), Source}));
}

TEST_F(TrimWorkerTest, TheHeadDataFollowsTheCopiedFrames)
{
    ASSERT_TRUE(writeIndexedWmv(path(Source), 60));
    ASSERT_FALSE(writeTestHeadData(path(Source), 60).isEmpty());
    const QString headName = QStringLiteral("0000012320240305140709.head.csv");
    struct Case
    {
        int start, end; // equal: re-ID, the whole video
    };
    for (const Case c : {Case{100, 400}, Case{555, 600}, Case{0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        const QString target = path(QStringLiteral("0000045620240305140709.wmv"));
        auto s = state(c.start, c.end, 600, target);
        s->newId = 456;
        EXPECT_EQ(s->reIdMode() ? ReburnIdWorker(s) : TrimWorker(s), 0);
        ASSERT_EQ(s->result.load(), TrimResult::Done);
        EXPECT_TRUE(s->headDataProblem.isEmpty()) << s->headDataProblem.toStdString();

        // Row k belongs to the copy's frame k, and carries the pose of the source frame it shows.
        const std::vector<int> shown = decodedIndices(target);
        const media::HeadTrackRead head = media::readHeadTrack(target);
        EXPECT_EQ(head.status, media::HeadTrackRead::Status::Ok);
        ASSERT_EQ(head.rows.size(), shown.size());
        for (std::size_t k = 0; k < shown.size(); ++k) {
            EXPECT_EQ(head.rows[k].frame, qint64(k));
            EXPECT_NEAR(head.rows[k].timeSeconds, k / 30.0, 1e-3);
            EXPECT_EQ(head.rows[k].sample.x, float(shown[k])) << "row " << k;
        }
        EXPECT_EQ(entries(folder),
                  (QStringList{headName, Source, QStringLiteral("0000045620240305140709.head.csv"),
                               QStringLiteral("0000045620240305140709.wmv")}));
        ASSERT_TRUE(QFile::remove(target));
        ASSERT_TRUE(media::removeHeadTrack(target));
    }

    // A copy whose name already has head data of another video keeps that file and says so; the
    // video itself is complete.
    const QString target = path(QStringLiteral("0000045620240305140709.wmv"));
    ASSERT_TRUE(QFile(media::headTrackPath(target)).open(QIODevice::WriteOnly));
    auto s = state(100, 400, 600, target);
    TrimWorker(s);
    EXPECT_EQ(s->result.load(), TrimResult::Done);
    EXPECT_FALSE(s->headDataProblem.isEmpty());
    EXPECT_EQ(QFileInfo(media::headTrackPath(target)).size(), 0);

    // Without head data a copy gets none.
    ASSERT_TRUE(QFile::remove(target) && media::removeHeadTrack(target) &&
                media::removeHeadTrack(path(Source)));
    s = state(100, 400, 600, target);
    TrimWorker(s);
    EXPECT_EQ(s->result.load(), TrimResult::Done);
    EXPECT_TRUE(s->headDataProblem.isEmpty());
    EXPECT_EQ(entries(folder), (QStringList{Source, QStringLiteral("0000045620240305140709.wmv")}));
}
