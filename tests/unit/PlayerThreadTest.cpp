#include "core/playback/PlayerThread.h"

#include "core/manage/TrimWorker.h"
#include "core/playback/SliderMath.h"
#include "support/IndexedVideo.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <QFile>

#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 30;
constexpr int SliderLen = 720;

// Time that passes only when the player sleeps, so that pacing is exact and repeatable. A hook
// lets a test act on the player's own thread at a chosen sleep.
class FakeClock : public PlaybackClock
{
  public:
    std::atomic<std::int64_t> now{0};
    std::function<void(int n, int ms)> onSleep;

    std::int64_t nowMs() override { return now.load(); }
    void sleepMs(int ms, const std::atomic<bool>&) override
    {
        int n = 0;
        {
            std::lock_guard lock(m_mutex);
            m_sleeps.push_back(ms);
            n = int(m_sleeps.size());
        }
        if (onSleep)
            onSleep(n, ms);
        now += ms;
        // Fake time needs no waiting; this only keeps a paused player from spinning hot.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::vector<int> sleeps() const
    {
        std::lock_guard lock(m_mutex);
        return m_sleeps;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<int> m_sleeps;
};

struct Shown
{
    int index;
    bool paused; // the pause mark is in the picture
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Shown& s)
{
    return os << s.index << (s.paused ? "p" : "");
}

std::vector<Shown> playing(int from, int to)
{
    std::vector<Shown> v;
    for (int i = from; i <= to; ++i)
        v.push_back({i, false});
    return v;
}

std::vector<Shown> pausedAt(int index)
{
    return {Shown{index, true}};
}

std::vector<Shown> operator+(std::vector<Shown> a, const std::vector<Shown>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The player's pause mark fills the middle of the picture with light grey; a playing frame has
// the test picture's background there.
bool pauseMarkAtCentre(const FrameCopy& f)
{
    const std::uint8_t* px = f.rgb.data() + (std::size_t(f.height / 2) * f.width + f.width / 2 - 10) * 3;
    return std::abs(px[0] - 200) < 12 && std::abs(px[1] - 200) < 12 && std::abs(px[2] - 200) < 12;
}

class PlayerThreadTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        path = dir.file(QStringLiteral("indexed.wmv"));
        ASSERT_TRUE(writeIndexedWmv(path, Frames));
        state.sliderLength = SliderLen;
        state.rangeStart = 0;
        state.rangeEnd = SliderLen;
        state.viewWidth = 160;
        state.viewHeight = 120;
        state.paused = false;
    }

    std::unique_ptr<PlayerThread> makePlayer(const QString& file, int fps)
    {
        PlayerThread::Options o;
        o.path = file.toStdString();
        o.state = &state;
        o.display = &display;
        o.clock = &clock;
        o.fps = [fps] { return fps; };
        auto p = std::make_unique<PlayerThread>(std::move(o));
        // Direct: runs on the player thread right after the frame went into the display frame.
        QObject::connect(
            p.get(), &PlayerThread::frameShown, p.get(),
            [this] {
                const FrameCopy f = display.copy();
                std::lock_guard lock(mutex);
                shown.push_back({frameIndexOf(f), pauseMarkAtCentre(f)});
            },
            Qt::DirectConnection);
        return p;
    }

    std::vector<Shown> shownFrames()
    {
        std::lock_guard lock(mutex);
        return shown;
    }

    bool waitForShown(const Shown& last, std::size_t atLeast)
    {
        return waitUntil([&] {
            const auto v = shownFrames();
            return v.size() >= atLeast && v.back() == last;
        });
    }

    TempDir dir;
    QString path;
    PlaybackState state;
    DisplayFrame display;
    FakeClock clock;
    std::mutex mutex;
    std::vector<Shown> shown;
};

int pixelOfFrame(int frame)
{
    // The smallest slider position that maps to frame.
    int p = 0;
    while (sliderToFrame(p, SliderLen, Frames) < frame)
        ++p;
    return p;
}

} // namespace

TEST_F(PlayerThreadTest, PlaysEveryFrameInOrderPacedThenWaitsPausedAtTheStart)
{
    auto player = makePlayer(path, 30);
    player->start();
    ASSERT_TRUE(waitForShown({0, true}, Frames + 1));
    EXPECT_EQ(shownFrames(), playing(0, Frames - 1) + pausedAt(0));
    EXPECT_TRUE(state.paused.load());
    EXPECT_EQ(state.frameCount.load(), Frames);
    EXPECT_EQ(state.requestedFrame.load(), 0);

    // Frame k is due k * 1000 / 30 ms after the start: waits of 33 or 34 ms, never more, and
    // nothing else while playing. The paused player then polls every 50 ms.
    int paced = 0;
    for (int ms : clock.sleeps()) {
        if (ms == 50)
            continue;
        EXPECT_TRUE(ms == 33 || ms == 34) << ms;
        paced += ms;
    }
    EXPECT_EQ(paced, (Frames - 1) * 1000 / 30);

    player->stop();
    player->wait();
    EXPECT_TRUE(player->hasEnded());
    EXPECT_FALSE(player->isRunning());
}

TEST_F(PlayerThreadTest, TheRangeMarkersBoundPlaybackAndResumingStartsAtTheStartMarker)
{
    state.rangeStart = pixelOfFrame(5);
    state.rangeEnd = pixelOfFrame(14);
    auto player = makePlayer(path, 0); // unpaced
    player->start();
    ASSERT_TRUE(waitForShown({5, true}, 16));
    EXPECT_EQ(shownFrames(), playing(0, 14) + pausedAt(5));

    state.paused = false; // a click resumes from the paused frame
    ASSERT_TRUE(waitForShown({5, true}, 16 + 11));
    EXPECT_EQ(shownFrames(), playing(0, 14) + pausedAt(5) + playing(5, 14) + pausedAt(5));
}

TEST_F(PlayerThreadTest, PausedSeeksShowTheRequestedFrameAndPlayingContinuesFromIt)
{
    state.paused = true;
    state.requestedFrame = 0;
    auto player = makePlayer(path, 0);
    player->start();
    ASSERT_TRUE(waitForShown({0, true}, 1));

    state.requestedFrame = 20;
    ASSERT_TRUE(waitForShown({20, true}, 2));
    state.requestedFrame = 10; // backwards
    ASSERT_TRUE(waitForShown({10, true}, 3));
    state.requestedFrame = 500; // past the end: the last frame
    ASSERT_TRUE(waitForShown({Frames - 1, true}, 4));
    EXPECT_EQ(state.requestedFrame.load(), Frames - 1);
    state.requestedFrame = 10;
    ASSERT_TRUE(waitForShown({10, true}, 5));

    state.paused = false;
    ASSERT_TRUE(waitForShown({0, true}, 5 + 20 + 1));
    EXPECT_EQ(shownFrames(), pausedAt(0) + pausedAt(20) + pausedAt(10) + pausedAt(Frames - 1) + pausedAt(10) +
                                 playing(10, Frames - 1) + pausedAt(0));
}

TEST_F(PlayerThreadTest, ASeekRequestWhilePlayingJumpsAndKeepsPlaying)
{
    // Asked on the player's own thread before the fifth paced frame is shown.
    clock.onSleep = [this](int n, int) {
        if (n == 5) {
            state.requestedFrame = 20;
            state.seekRequested = true;
        }
    };
    auto player = makePlayer(path, 30);
    player->start();
    ASSERT_TRUE(waitForShown({0, true}, 2));
    const auto v = shownFrames();
    // 0..5 in order (frame 5 was already decoded when the request came), then 20..29, then the
    // pause at the start marker.
    EXPECT_EQ(v, playing(0, 5) + playing(20, Frames - 1) + pausedAt(0));
    EXPECT_FALSE(state.seekRequested.load()); // taken once
}

TEST_F(PlayerThreadTest, AStalledClockShowsLateFramesAtOnceWithoutSkipping)
{
    clock.onSleep = [this](int n, int) {
        if (n == 3)
            clock.now += 700; // the machine stalls for 0.7 s
    };
    auto player = makePlayer(path, 30);
    player->start();
    ASSERT_TRUE(waitForShown({0, true}, Frames + 1));
    EXPECT_EQ(shownFrames(), playing(0, Frames - 1) + pausedAt(0));
    for (int ms : clock.sleeps())
        EXPECT_TRUE(ms >= 1 && ms <= 299) << ms;
    // The frames due during the stall were shown without waiting.
    int paced = 0;
    for (int ms : clock.sleeps())
        if (ms != 50)
            paced += ms;
    EXPECT_LT(paced, (Frames - 1) * 1000 / 30 - 600);
}

TEST_F(PlayerThreadTest, AFileThatDoesNotOpenEndsThePlayerAtOnce)
{
    QByteArray junk(50000, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 2654435761u) >> 24);
    ASSERT_TRUE(dir.write(QStringLiteral("junk.wmv"), junk));
    for (const QString& name : {QStringLiteral("junk.wmv"), QStringLiteral("missing.wmv")}) {
        SCOPED_TRACE(name.toStdString());
        auto player = makePlayer(dir.file(name), 30);
        player->start();
        ASSERT_TRUE(waitUntil([&] { return player->hasEnded(); }));
        EXPECT_FALSE(player->fileOpened());
        EXPECT_FALSE(player->isRunning());
    }
    EXPECT_TRUE(shownFrames().empty());
    EXPECT_FALSE(display.ready());
}

TEST_F(PlayerThreadTest, ATruncatedFilePlaysWhatItHasThenPausesAndStops)
{
    const QString cut = dir.file(QStringLiteral("cut.wmv"));
    ASSERT_TRUE(writeIndexedWmv(cut, 90, 320, 240));
    QFile f(cut);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.resize(f.size() / 2));
    f.close();

    auto player = makePlayer(cut, 0);
    player->start();
    // Either it ends at once (the file no longer opens) or it plays and waits paused.
    ASSERT_TRUE(waitUntil([&] {
        const auto v = shownFrames();
        return player->hasEnded() || (!v.empty() && v.back().paused);
    }));
    const auto v = shownFrames();
    // The frame the cut went through decodes partly and may show an older picture; every frame
    // before it comes in order, and the player waits paused at the start.
    for (std::size_t i = 1; i + 2 < v.size(); ++i)
        EXPECT_EQ(v[i].index, v[i - 1].index + 1) << "frames in order without skips";
    if (!player->hasEnded()) {
        ASSERT_GE(v.size(), 3u);
        EXPECT_EQ(v.front(), (Shown{0, false}));
        EXPECT_EQ(v.back(), (Shown{0, true}));
    }
    player->stop();
    ASSERT_TRUE(waitUntil([&] { return player->hasEnded(); }));
    player->wait();
}

TEST_F(PlayerThreadTest, StopEndsAPausedOrPlayingLoop)
{
    for (bool paused : {true, false}) {
        SCOPED_TRACE(paused);
        state.paused = paused;
        int ended = 0;
        auto player = makePlayer(path, 30);
        QObject::connect(
            player.get(), &PlayerThread::ended, player.get(), [&] { ++ended; }, Qt::DirectConnection);
        player->start();
        ASSERT_TRUE(waitUntil([&] { return !shownFrames().empty(); }));
        player->stop();
        ASSERT_TRUE(waitUntil([&] { return player->hasEnded(); }));
        player->wait();
        EXPECT_EQ(ended, 1);
        EXPECT_FALSE(player->isRunning());
        std::lock_guard lock(mutex);
        shown.clear();
    }
}

TEST_F(PlayerThreadTest, PlaybackBetweenTheMarkersAndTheTrimSelectTheSameFrames)
{
    struct Markers
    {
        int start, end;
    };
    // Markers on frame boundaries and between them, at the ends and in the middle.
    for (const Markers m :
         {Markers{123, 457}, Markers{0, 700}, Markers{pixelOfFrame(5), SliderLen}, Markers{31, 52}}) {
        SCOPED_TRACE(testing::Message() << m.start << ".." << m.end);
        const MarkedFrames marked = markedFrames(m.start, m.end, SliderLen, Frames);
        {
            std::lock_guard lock(mutex);
            shown.clear();
        }
        state.rangeStart = m.start;
        state.rangeEnd = m.end;
        state.paused = false;
        auto player = makePlayer(path, 0);
        player->start();
        // To the end marker, then paused on the start marker's frame; resumed, once more.
        ASSERT_TRUE(waitForShown({marked.first, true}, 2));
        const std::size_t firstPass = shownFrames().size();
        state.paused = false;
        ASSERT_TRUE(waitForShown({marked.first, true}, firstPass + 1));
        player->stop();
        player->wait();
        std::vector<int> played;
        const std::vector<Shown> all = shownFrames();
        for (std::size_t i = firstPass; i + 1 < all.size(); ++i)
            played.push_back(all[i].index);

        auto trim = std::make_shared<TrimWorkerState>();
        trim->rangeStart = m.start;
        trim->rangeEnd = m.end;
        trim->sliderLength = SliderLen;
        trim->fps = 30;
        trim->frameWidth = 160;
        trim->frameHeight = 120;
        trim->sourcePath = path;
        trim->targetPath = dir.file(QStringLiteral("trimmed.wmv"));
        trim->running = true;
        TrimWorker(trim);
        ASSERT_EQ(trim->result.load(), TrimResult::Done);
        std::vector<int> written;
        cv::VideoCapture cap(trim->targetPath.toStdString(), cv::CAP_FFMPEG);
        cv::Mat frame;
        while (cap.read(frame) && !frame.empty())
            written.push_back(frameIndexOf(frame));
        cap.release();
        QFile::remove(trim->targetPath);

        // The start marker's frame opens both, the end marker's frame closes both.
        ASSERT_FALSE(played.empty());
        EXPECT_EQ(played.front(), marked.first);
        EXPECT_EQ(played.back(), marked.last);
        EXPECT_EQ(played.back(), sliderToFrameClamped(m.end, SliderLen, Frames));
        EXPECT_EQ(written, played);
    }
}
