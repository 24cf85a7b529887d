#include "core/capture/RecordingPacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using tolvek::RecordingPacer;

namespace {

// Time of camera frame k for a camera at cameraFps, in whole milliseconds.
std::int64_t frameTime(std::int64_t startMs, double cameraFps, std::int64_t k)
{
    return startMs + std::int64_t(std::floor(double(k) * 1000.0 / cameraFps));
}

struct PacedRun
{
    std::vector<int> writes;      // per camera frame
    std::int64_t limitFrame = -1; // 1-based camera frame that reported the limit
};

PacedRun feed(RecordingPacer& pacer, double cameraFps, std::int64_t frames, std::int64_t startMs = 5000)
{
    PacedRun run;
    for (std::int64_t k = 0; k < frames; ++k) {
        const auto step = pacer.onFrame(frameTime(startMs, cameraFps, k));
        run.writes.push_back(step.writes);
        if (step.limitReached) {
            run.limitFrame = k + 1;
            break;
        }
    }
    return run;
}

} // namespace

TEST(RecordingPacerTest, warmUpWritesNothingAndFirstWriteComesOnePeriodAfterSixteenthFrame)
{
    RecordingPacer pacer;
    pacer.start(5000, 25);
    const PacedRun run = feed(pacer, 25.0, 40);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(run.writes[k], 0) << "camera frame " << k + 1;
    // The 16th frame starts the pacing clock; at one period later the target is one frame.
    EXPECT_EQ(run.writes[16], 1);
    EXPECT_TRUE(pacer.pacingStarted());
    EXPECT_EQ(pacer.framesSeen(), 40);
}

TEST(RecordingPacerTest, fileHoldsElapsedTimesFrameRateWhateverTheCameraRate)
{
    struct Case
    {
        double cameraFps;
        int fileFps;
        double writesPerFrame; // the long-run average per camera frame after the warm-up
        int maxWritesPerFrame;
    };
    const Case cases[] = {
        {15.0, 30, 2.0, 3}, // slow camera: every frame about twice
        {60.0, 30, 0.5, 1}, // fast camera: every second frame
        {30.0, 30, 1.0, 2},
        {25.0, 10, 0.4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cameraFps << " fps camera, " << c.fileFps << " fps file");
        RecordingPacer pacer;
        const std::int64_t start = 100000;
        pacer.start(start, c.fileFps);
        const int frames = 16 + int(c.cameraFps) * 20; // 20 s after the warm-up
        const PacedRun run = feed(pacer, c.cameraFps, frames, start);
        ASSERT_EQ(run.limitFrame, -1);

        std::int64_t total = 0;
        int framesAfterWarmUp = 0;
        for (int k = 16; k < frames; ++k) {
            EXPECT_LE(run.writes[k], c.maxWritesPerFrame) << "frame " << k + 1;
            total += run.writes[k];
            ++framesAfterWarmUp;
        }
        const std::int64_t pacingStart = frameTime(start, c.cameraFps, 15);
        const std::int64_t last = frameTime(start, c.cameraFps, frames - 1);
        const auto expected = std::int64_t(std::floor(double(last - pacingStart) * c.fileFps / 1000.0));
        EXPECT_EQ(total, expected);
        EXPECT_EQ(pacer.framesWritten(), expected);
        EXPECT_NEAR(double(total) / framesAfterWarmUp, c.writesPerFrame, 0.02);
    }
}

TEST(RecordingPacerTest, fastCameraWritesEverySecondFrame)
{
    RecordingPacer pacer;
    pacer.start(0, 30);
    // A 60 fps camera whose frames arrive on whole milliseconds (16 or 17 ms apart).
    const PacedRun run = feed(pacer, 60.0, 16 + 600, 0);
    int written = 0, longestGap = 0, gap = 0;
    for (std::size_t k = 16; k < run.writes.size(); ++k) {
        if (run.writes[k] > 0) {
            ++written;
            longestGap = std::max(longestGap, gap);
            gap = 0;
        } else {
            ++gap;
        }
    }
    EXPECT_NEAR(written, 300, 1);
    EXPECT_LE(longestGap, 2);
}

TEST(RecordingPacerTest, stalledCameraCatchesUpWithRepeatedFrames)
{
    RecordingPacer pacer;
    pacer.start(0, 30);
    for (int k = 0; k < 16; ++k)
        pacer.onFrame(k * 33);
    const std::int64_t pacingStart = 15 * 33;
    // One frame arrives after a two-second stall: the gap is filled with it.
    const auto step = pacer.onFrame(pacingStart + 2000);
    EXPECT_EQ(step.writes, 60);
    EXPECT_EQ(pacer.framesWritten(), 60);
}

TEST(RecordingPacerTest, limitStopsAtWrittenOrSeenFrames)
{
    struct Case
    {
        const char* name;
        int minutes;
        double cameraFps;
        int fileFps;
        std::int64_t limitFrame; // camera frame that reports the limit; 0: any before 18001
        std::int64_t written;    // frames in the file when it closes
        std::int64_t writtenTolerance;
    };
    // 10 minutes are 18000 frames whatever the frame rate; the warm-up frames are not written.
    const Case cases[] = {
        {"slow camera reaches 18000 written first", 10, 15.0, 30, 0, 18000, 0},
        {"camera as fast as the file passes 18000 seen first", 10, 30.0, 30, 18001, 18001 - 16, 1},
        {"fast camera against a slow file", 10, 60.0, 30, 18001, (18001 - 16) / 2, 2},
        {"limit counts 1800 per minute at 60 fps too", 10, 60.0, 60, 18001, 18001 - 16, 1},
        {"unparsable setting stops at once", -1, 30.0, 30, 1, 0, 0},
        {"zero minutes stops at once", 0, 30.0, 30, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPacer pacer;
        pacer.setMaxFrames(RecordingPacer::maxFramesForMinutes(c.minutes));
        EXPECT_EQ(pacer.maxFrames(), std::int64_t(c.minutes) * 1800);
        pacer.start(0, c.fileFps);
        const PacedRun run = feed(pacer, c.cameraFps, 40000, 0);
        ASSERT_NE(run.limitFrame, -1);
        EXPECT_TRUE(pacer.limitReached());
        if (c.limitFrame > 0)
            EXPECT_EQ(run.limitFrame, c.limitFrame);
        else
            EXPECT_LT(run.limitFrame, 18001);
        EXPECT_LE(std::abs(pacer.framesWritten() - c.written), c.writtenTolerance)
            << "written " << pacer.framesWritten();
    }
}

TEST(RecordingPacerTest, limitIsReportedOnceAndNothingIsWrittenAfterIt)
{
    RecordingPacer pacer;
    pacer.setMaxFrames(100);
    pacer.start(0, 30);
    const PacedRun run = feed(pacer, 15.0, 200, 0);
    ASSERT_NE(run.limitFrame, -1);
    EXPECT_LT(run.limitFrame, 101); // reached by written frames, not by seen ones
    EXPECT_EQ(pacer.framesWritten(), 100);
    // Were the caller to keep feeding frames, none would be written and no second limit comes.
    const auto after = pacer.onFrame(100000);
    EXPECT_EQ(after.writes, 0);
    EXPECT_FALSE(after.limitReached);
}

TEST(RecordingPacerTest, resetForgetsTheFileAndStartBeginsAnew)
{
    RecordingPacer pacer;
    pacer.start(1000, 30);
    feed(pacer, 30.0, 100, 1000);
    EXPECT_GT(pacer.framesWritten(), 0);
    EXPECT_EQ(pacer.elapsedMs(4000), 3000);

    pacer.reset();
    EXPECT_FALSE(pacer.isRecording());
    EXPECT_EQ(pacer.framesSeen(), 0);
    EXPECT_EQ(pacer.framesWritten(), 0);
    EXPECT_FALSE(pacer.pacingStarted());
    EXPECT_EQ(pacer.elapsedMs(9000), 0);

    pacer.start(20000, 30);
    const PacedRun again = feed(pacer, 30.0, 16, 20000);
    for (int w : again.writes)
        EXPECT_EQ(w, 0); // a new file warms up again
}
