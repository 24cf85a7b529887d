#include "core/capture/SimulatedEyeSource.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using tolvek::ManualTickClock;
using tolvek::SimulatedEyeSource;

namespace {

SimulatedEyeSource::Options options(int w, int h, double fps, std::uint32_t seed, ManualTickClock* clock)
{
    SimulatedEyeSource::Options o;
    o.width = w;
    o.height = h;
    o.fps = fps;
    o.seed = seed;
    o.virtualClock = clock;
    return o;
}

std::vector<cv::Mat> readFrames(SimulatedEyeSource& source, int n)
{
    std::vector<cv::Mat> frames;
    for (int i = 0; i < n; ++i) {
        cv::Mat f;
        EXPECT_TRUE(source.read(f));
        frames.push_back(f.clone());
    }
    return frames;
}

// Centre of the dark pupil blob, found from the pixels alone.
cv::Point2d measurePupil(const cv::Mat& bgr)
{
    cv::Mat grey, dark;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::threshold(grey, dark, 45, 255, cv::THRESH_BINARY_INV);
    const cv::Moments m = cv::moments(dark, true);
    if (m.m00 < 1)
        return {-1, -1};
    return {m.m10 / m.m00, m.m01 / m.m00};
}

} // namespace

TEST(SimulatedEyeSourceTest, framesDependOnlyOnSeedAndIndex)
{
    ManualTickClock clock;
    SimulatedEyeSource a(options(320, 240, 30, 7, &clock));
    SimulatedEyeSource b(options(320, 240, 30, 7, &clock));
    SimulatedEyeSource other(options(320, 240, 30, 8, &clock));
    ASSERT_TRUE(a.open());
    ASSERT_TRUE(b.open());
    ASSERT_TRUE(other.open());
    const auto fa = readFrames(a, 4);
    const auto fb = readFrames(b, 4);
    const auto fo = readFrames(other, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(cv::norm(fa[k], fb[k], cv::NORM_INF), 0.0) << "frame " << k;
        EXPECT_GT(cv::norm(fa[k], fo[k], cv::NORM_L1), 0.0) << "frame " << k;
        cv::Mat again;
        a.renderFrame(k, again);
        EXPECT_EQ(cv::norm(fa[k], again, cv::NORM_INF), 0.0) << "frame " << k;
    }
    // Consecutive frames differ (noise and movement), so the picture is not a still.
    EXPECT_GT(cv::norm(fa[0], fa[1], cv::NORM_L1), 0.0);

    // Opening again starts the sequence again.
    a.release();
    EXPECT_FALSE(a.isOpened());
    cv::Mat none;
    EXPECT_FALSE(a.read(none));
    ASSERT_TRUE(a.open());
    cv::Mat first;
    ASSERT_TRUE(a.read(first));
    EXPECT_EQ(cv::norm(first, fa[0], cv::NORM_INF), 0.0);
}

TEST(SimulatedEyeSourceTest, deliversTheConfiguredSizeAsGreyBgr)
{
    const cv::Size sizes[] = {{640, 480}, {1280, 720}, {320, 240}, {101, 77}};
    for (const cv::Size size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        ManualTickClock clock;
        SimulatedEyeSource source(options(size.width, size.height, 30, 1, &clock));
        EXPECT_EQ(source.frameSize(), size);
        ASSERT_TRUE(source.open());
        cv::Mat frame;
        ASSERT_TRUE(source.read(frame));
        EXPECT_EQ(frame.size(), size);
        EXPECT_EQ(frame.type(), CV_8UC3);
        std::vector<cv::Mat> ch;
        cv::split(frame, ch);
        EXPECT_EQ(cv::norm(ch[0], ch[1], cv::NORM_INF), 0.0);
        EXPECT_EQ(cv::norm(ch[0], ch[2], cv::NORM_INF), 0.0);
    }
}

TEST(SimulatedEyeSourceTest, virtualClockMovesOneFramePeriodPerRead)
{
    ManualTickClock clock(1000);
    SimulatedEyeSource source(options(64, 48, 25, 1, &clock));
    ASSERT_TRUE(source.open());
    EXPECT_DOUBLE_EQ(source.nominalFps(), 25.0);
    cv::Mat f;
    for (int k = 0; k < 10; ++k) {
        ASSERT_TRUE(source.read(f));
        EXPECT_EQ(clock.now(), 1000 + 40 * k);
    }
}

TEST(SimulatedEyeSourceTest, pictureHasDarkPupilInIrisWithBrightReflection)
{
    ManualTickClock clock;
    SimulatedEyeSource source(options(640, 480, 30, 3, &clock));
    cv::Mat frame, grey;
    source.renderFrame(10, frame);
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    const cv::Point2d pupil = source.pupilCentre(10);
    const double irisRadius = 0.17 * 480;
    auto meanAt = [&](cv::Point2d p) {
        return cv::mean(grey(cv::Rect(int(p.x) - 3, int(p.y) - 3, 7, 7)))[0];
    };
    // Below the pupil centre (the reflection sits up and to one side), in the iris ring, and
    // on the skin near the corner of the picture.
    const double pupilLevel = meanAt(pupil + cv::Point2d(0, 0.2 * irisRadius));
    const double irisLevel = meanAt(pupil + cv::Point2d(0, 0.75 * irisRadius));
    const double skinLevel = meanAt({120, 40});
    EXPECT_LT(pupilLevel, 35);
    EXPECT_GT(irisLevel, pupilLevel + 30);
    EXPECT_GT(skinLevel, irisLevel + 20);
    double maxLevel = 0;
    cv::minMaxLoc(grey, nullptr, &maxLevel);
    EXPECT_GT(maxLevel, 230); // the corneal reflection
    // Sensor noise: a flat skin patch is not one flat value.
    cv::Scalar mean, stddev;
    cv::meanStdDev(grey(cv::Rect(100, 20, 40, 40)), mean, stddev);
    EXPECT_GT(stddev[0], 2.0);
    EXPECT_LT(stddev[0], 8.0);
}

TEST(SimulatedEyeSourceTest, pupilBeatsWithSlowDriftAndQuickReset)
{
    struct Case
    {
        std::uint32_t seed;
        double fps;
    };
    const Case cases[] = {{1, 60}, {2, 30}, {99, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed << " at " << c.fps << " fps");
        ManualTickClock clock;
        SimulatedEyeSource source(options(640, 480, c.fps, c.seed, &clock));
        ASSERT_TRUE(source.open());
        const int frames = int(c.fps * 4); // four seconds
        std::vector<cv::Point2d> centres;
        cv::Mat f;
        for (int k = 0; k < frames; ++k) {
            ASSERT_TRUE(source.read(f));
            const cv::Point2d measured = measurePupil(f);
            // The pixels show the pupil where the model says it is.
            ASSERT_LT(cv::norm(measured - source.pupilCentre(k)), 2.0) << "frame " << k;
            centres.push_back(measured);
        }

        const int slowSign = source.slowPhaseDirection();
        std::vector<double> slowSteps;
        int resets = 0;
        bool inReset = false;
        double largestSlow = 0, largestReset = 0;
        for (int k = 1; k < frames; ++k) {
            const double dx = centres[k].x - centres[k - 1].x;
            EXPECT_LT(std::abs(centres[k].y - centres[k - 1].y), 3.0);
            if (dx * slowSign > 0) {
                slowSteps.push_back(std::abs(dx));
                largestSlow = std::max(largestSlow, std::abs(dx));
                inReset = false;
            } else {
                largestReset = std::max(largestReset, std::abs(dx));
                if (!inReset)
                    ++resets;
                inReset = true;
            }
        }
        // Most of the time the eye drifts one way; the way back is a few quick jumps.
        EXPECT_GT(slowSteps.size(), std::size_t(frames * 0.75));
        EXPECT_GT(largestReset, 3.0 * largestSlow);
        const double beatsPerSecond = resets / 4.0;
        EXPECT_GE(beatsPerSecond, 2.0);
        EXPECT_LE(beatsPerSecond, 4.5);
        EXPECT_NEAR(beatsPerSecond, source.beatFrequency(), 0.5);
        // The drift is steady: its steps vary little apart from the steps cut by a reset.
        std::sort(slowSteps.begin(), slowSteps.end());
        const double median = slowSteps[slowSteps.size() / 2];
        EXPECT_GT(median, 1.0);
        EXPECT_NEAR(slowSteps[slowSteps.size() * 3 / 4], median, 0.3 * median);
    }
}
