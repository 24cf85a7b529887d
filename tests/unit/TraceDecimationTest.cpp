// The arithmetic behind the analysis window's traces: mapping pixels and frames both ways,
// zooming and following the player, the min/max reduction to pixel columns, and the interval
// search that keeps drawing to what is visible.
#include "core/analysis/TraceDecimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tolvek::analysis;

namespace {
const float NaN = std::numeric_limits<float>::quiet_NaN();
}

TEST(TraceDecimation, PixelAndFrameMapBothWaysInsideTheWindow)
{
    // 100 frames from frame 50 over 200 columns starting at x = 10: two columns per frame.
    const TimeWindow w{50, 150, 10, 200};
    const struct
    {
        int x;
        int frame;
    } cases[] = {{10, 50}, {11, 50}, {12, 51}, {209, 149}, {0, 45}, {-1000, 0}, {5000, 299}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(frameAtX(w, c.x, 300), c.frame);
    }
    EXPECT_EQ(xOfFrame(w, 50), 10);
    EXPECT_EQ(xOfFrame(w, 51), 12);
    EXPECT_EQ(xOfFrame(w, 149.9), 209);
    EXPECT_FALSE(xOfFrame(w, 49.9));
    EXPECT_FALSE(xOfFrame(w, 150));
    // A click lands on the frame whose cursor is drawn in that column.
    for (int x = 10; x < 210; ++x)
        EXPECT_EQ(xOfFrame(w, frameAtX(w, x, 300)).value_or(-1) / 2, x / 2) << x;
    EXPECT_EQ(frameAtX(w, 20, 0), 0);
    EXPECT_EQ(frameAtX({0, 10, 0, 0}, 5, 10), 0);
}

TEST(TraceDecimation, ZoomKeepsTheFrameUnderThePointerAndStaysInTheVideo)
{
    const TimeWindow all = wholeVideo(1000, 0, 100);
    const TimeWindow in = zoomed(all, 50, 4.0, 1000);
    EXPECT_DOUBLE_EQ(in.lastFrame - in.firstFrame, 250.0);
    // The pointer's column starts at the same frame before and after; it now spans fewer frames.
    EXPECT_DOUBLE_EQ(in.firstFrame + 50 * in.framesPerPixel(), all.firstFrame + 50 * all.framesPerPixel());
    EXPECT_NEAR(frameAtX(in, 50, 1000), frameAtX(all, 50, 1000), all.framesPerPixel());
    // Near the start the window stops at frame 0 instead of reaching before it.
    const TimeWindow atStart = zoomed(all, 0, 4.0, 1000);
    EXPECT_DOUBLE_EQ(atStart.firstFrame, 0.0);
    // Zooming far in stops at the minimum span; zooming out stops at the whole video.
    const TimeWindow deep = zoomed(in, 50, 1e6, 1000, 20);
    EXPECT_DOUBLE_EQ(deep.lastFrame - deep.firstFrame, 20.0);
    const TimeWindow out = zoomed(in, 10, 1e-6, 1000);
    EXPECT_DOUBLE_EQ(out.firstFrame, 0.0);
    EXPECT_DOUBLE_EQ(out.lastFrame, 1000.0);
    // Scrolling past the end keeps the span and stops at the last frame.
    const TimeWindow scrolled = scrolledTo(in, 900, 1000);
    EXPECT_DOUBLE_EQ(scrolled.lastFrame, 1000.0);
    EXPECT_DOUBLE_EQ(scrolled.lastFrame - scrolled.firstFrame, 250.0);
}

TEST(TraceDecimation, FollowingPagesOnlyWhenTheFrameLeavesTheWindow)
{
    const TimeWindow w{100, 200, 0, 100};
    EXPECT_DOUBLE_EQ(followed(w, 150, 1000).firstFrame, 100.0);
    EXPECT_DOUBLE_EQ(followed(w, 199, 1000).firstFrame, 100.0);
    EXPECT_DOUBLE_EQ(followed(w, 200, 1000).firstFrame, 190.0); // a tenth from the left
    EXPECT_DOUBLE_EQ(followed(w, 20, 1000).firstFrame, 10.0);
    EXPECT_DOUBLE_EQ(followed(w, 995, 1000).firstFrame, 900.0);
}

TEST(TraceDecimation, ColumnsHoldEveryExtremeAndShowGapsOnlyWhereNothingWasMeasured)
{
    // Ten frames per column: a one-frame spike must survive, a blink must leave a gap, a column
    // partly measured is drawn from what it has.
    std::vector<float> v(40, 5.0f);
    v[13] = 90.0f;
    v[17] = -3.0f;
    for (int k = 20; k < 30; ++k)
        v[k] = NaN;
    v[35] = NaN;
    const std::vector<ColumnSpan> c = decimateToColumns(v, {0, 40, 0, 4});
    ASSERT_EQ(c.size(), 4u);
    EXPECT_FALSE(c[0].empty);
    EXPECT_EQ(c[0].min, 5.0f);
    EXPECT_EQ(c[0].max, 5.0f);
    EXPECT_EQ(c[1].min, -3.0f);
    EXPECT_EQ(c[1].max, 90.0f);
    EXPECT_EQ(c[1].first, 5.0f);
    EXPECT_EQ(c[1].last, 5.0f);
    EXPECT_TRUE(c[2].empty);
    EXPECT_FALSE(c[3].empty);

    // Zoomed in past one frame per column, each column still shows the frame it lies in.
    const std::vector<ColumnSpan> z = decimateToColumns(v, {12, 14, 0, 8});
    ASSERT_EQ(z.size(), 8u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(z[i].max, 5.0f) << i;
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(z[i].max, 90.0f) << i;

    // A window reaching past the samples (a trace shorter than the video) leaves those empty.
    const std::vector<ColumnSpan> past = decimateToColumns(v, {30, 50, 0, 2});
    EXPECT_FALSE(past[0].empty);
    EXPECT_TRUE(past[1].empty);
    EXPECT_TRUE(decimateToColumns({}, {0, 10, 0, 5})[0].empty);
}

TEST(TraceDecimation, TwoHourTraceReducesToTheWidthInOnePass)
{
    // Two hours at 60 frames per second, a slow sine: every column holds its share of frames and
    // the extremes of the whole trace appear in the columns.
    const int frames = 2 * 3600 * 60;
    std::vector<float> v(static_cast<std::size_t>(frames));
    for (int k = 0; k < frames; ++k)
        v[std::size_t(k)] = float(100.0 * std::sin(k / 5000.0));
    const std::vector<ColumnSpan> c = decimateToColumns(v, wholeVideo(frames, 0, 1200));
    ASSERT_EQ(c.size(), 1200u);
    float lo = 1e9f, hi = -1e9f;
    for (const ColumnSpan& s : c) {
        ASSERT_FALSE(s.empty);
        lo = std::min(lo, s.min);
        hi = std::max(hi, s.max);
    }
    EXPECT_NEAR(lo, -100.0f, 0.01f);
    EXPECT_NEAR(hi, 100.0f, 0.01f);
}

TEST(TraceDecimation, ValueRangeIgnoresMissingSamplesAndNeverCollapses)
{
    EXPECT_EQ(valueRange({NaN, NaN}), (std::pair<double, double>{0.0, 1.0}));
    const auto flat = valueRange({NaN, 7.0f, 7.0f}, 0.05, 10.0);
    EXPECT_DOUBLE_EQ(flat.first, 2.0);
    EXPECT_DOUBLE_EQ(flat.second, 12.0);
    const auto wide = valueRange({0.0f, 100.0f}, 0.05, 10.0);
    EXPECT_DOUBLE_EQ(wide.first, -5.0);
    EXPECT_DOUBLE_EQ(wide.second, 105.0);
}

TEST(TraceDecimation, VisibleIntervalsAreThoseOverlappingTheWindow)
{
    const std::vector<std::pair<double, double>> beats{{0, 1}, {2, 3}, {4, 5}, {6, 7}};
    const struct
    {
        double from, to;
        std::size_t first, last;
    } cases[] = {
        {0, 10, 0, 4}, {1.5, 4.5, 1, 3}, {3.2, 3.8, 2, 2}, {2.5, 2.6, 1, 2}, {8, 9, 4, 4}, {-2, -1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
        EXPECT_EQ(visibleIntervals(beats, c.from, c.to),
                  (std::pair<std::size_t, std::size_t>{c.first, c.last}));
    }
}
