#include "core/playback/SliderMath.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tolvek;

namespace {

// The layout of a 1280 x 720 client with a 640 x 480 camera: picture (280, 132, 720 x 540), so
// the track starts at y0 = 675 and the band runs from 621 (the bottom tenth) to 733.
const SliderGeometry Geo{QRect(280, 132, 720, 540), 720};

struct HitCase
{
    int x, y, expected;
    const char* what;
};

} // namespace

TEST(SliderMathTest, SliderHitTestCoversBandGraceZonesAndPicture)
{
    const HitCase cases[] = {
        {280, 680, 0, "left end of the track"},
        {1000, 680, 720, "right end of the track"},
        {640, 680, 360, "middle"},
        {265, 680, 0, "15 pixels left of the start still selects 0"},
        {264, 680, HitNone, "16 pixels left of the start is off the slider"},
        {1015, 680, 720, "15 pixels right of the end"},
        {1016, 680, HitNone, "16 pixels right of the end"},
        {640, 621, 360, "bottom tenth of the picture belongs to the slider"},
        {640, 620, HitPicture, "just above the bottom tenth is the picture"},
        {640, 733, 360, "30 pixels below the track"},
        {640, 734, HitNone, "below the band"},
        {281, 300, HitPicture, "inside the picture"},
        {280, 300, HitNone, "the picture's left edge is not strictly inside"},
        {640, 132, HitNone, "the picture's top edge is not strictly inside"},
        {640, 50, HitNone, "above the picture"},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sliderHitTest(Geo, c.x, c.y), c.expected);
    }
}

TEST(SliderMathTest, PictureHitTestOnlyInLibraryModeAndOffTheBand)
{
    EXPECT_TRUE(pictureHitTest(Geo, 2, 640, 300));
    EXPECT_TRUE(pictureHitTest(Geo, 2, 280, 132)); // the rectangle itself includes its left and top edges
    EXPECT_FALSE(pictureHitTest(Geo, 3, 640, 300));
    EXPECT_FALSE(pictureHitTest(Geo, 0, 640, 300));
    EXPECT_FALSE(pictureHitTest(Geo, 2, 640, 621));  // the slider band wins
    EXPECT_FALSE(pictureHitTest(Geo, 2, 1000, 300)); // one past the right edge
    EXPECT_FALSE(pictureHitTest(Geo, 2, 640, 672));  // one past the bottom edge
}

TEST(SliderMathTest, SliderToFrameMapsEndsAndDegenerateSizes)
{
    struct Case
    {
        int p, length, frames, expected, clamped;
    };
    const Case cases[] = {
        {0, 720, 300, 0, 0},
        {719, 720, 300, 299, 299},
        {720, 720, 1000, 1000, 999}, // unclamped past the last frame
        {360, 720, 300, 149, 149},
        {500, 1, 300, 0, 0},                    // slider too short
        {500, 720, 1, 0, 0},                    // a single frame
        {500, 720, 0, 0, 0},                    // no frame count
        {719, 720, 10000000, 9999999, 9999999}, // the product needs 64 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p << " of " << c.length << ", " << c.frames << " frames");
        EXPECT_EQ(sliderToFrame(c.p, c.length, c.frames), c.expected);
        EXPECT_EQ(sliderToFrameClamped(c.p, c.length, c.frames), c.clamped);
    }
    EXPECT_EQ(frameToSlider(150, 720, 300), 360);
    EXPECT_EQ(frameToSlider(9999999, 720, 10000000), 719); // no 32-bit overflow
    EXPECT_EQ(frameToSlider(5, 720, 0), 0);
}

TEST(SliderMathTest, PressNearAMarkerGrabsItStartMarkerFirst)
{
    struct Case
    {
        int p, start, end, kind, offset;
        const char* what;
    };
    const Case cases[] = {
        {113, 100, 300, DragStartMarker, -13, "13 right of the start marker"},
        {114, 100, 300, DragPosition, 0, "14 right of the start marker"},
        {87, 100, 300, DragStartMarker, 13, "13 left of the start marker"},
        {86, 100, 300, DragPosition, 0, "14 left of the start marker"},
        {313, 100, 300, DragEndMarker, -13, "13 right of the end marker"},
        {286, 100, 300, DragPosition, 0, "14 left of the end marker"},
        {111, 100, 122, DragStartMarker, -11, "near both: the start marker wins"},
        {114, 100, 122, DragEndMarker, 8, "near the end marker only"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DragChoice d = chooseDrag(c.p, c.start, c.end);
        EXPECT_EQ(d.kind, c.kind);
        if (d.kind != DragPosition) {
            EXPECT_EQ(d.offset, c.offset);
        }
    }
}

TEST(SliderMathTest, MarkerDragsKeepTwentyPixelsAndStayOnTheSlider)
{
    // start marker: pointer, offset, end marker -> new start
    EXPECT_EQ(draggedRangeStart(290, 0, 300, 720), 280); // not closer than 20 to the end marker
    EXPECT_EQ(draggedRangeStart(-50, 0, 300, 720), 0);
    EXPECT_EQ(draggedRangeStart(150, 5, 300, 720), 155); // the press offset is kept
    // end marker: pointer, offset, start marker -> new end
    EXPECT_EQ(draggedRangeEnd(110, 0, 100, 720), 120);
    EXPECT_EQ(draggedRangeEnd(900, 0, 100, 720), 719);
    EXPECT_EQ(draggedRangeEnd(400, -3, 100, 720), 397);
    // the end marker pushed against the right end by a start marker near it
    EXPECT_EQ(draggedRangeEnd(500, 0, 710, 720), 719);

    // A pointer off the band during a drag falls back to the last position inside it.
    EXPECT_EQ(dragPointer(HitPicture, 50, 720), 50);
    EXPECT_EQ(dragPointer(HitNone, -1, 720), 0);
    EXPECT_EQ(dragPointer(720, 50, 720), 719); // beyond the right end: the last pixel

    struct Norm
    {
        int start, end, length, wantStart, wantEnd;
    };
    const Norm norms[] = {
        {-5, 800, 720, 0, 719},
        {100, 110, 720, 100, 120},
        {100, 400, 720, 100, 400},
        {705, 719, 720, 705, 719}, // no room for 20 pixels at the right end
    };
    for (const Norm& n : norms) {
        const SliderRange r = normalizeRange(n.start, n.end, n.length);
        EXPECT_EQ(r.start, n.wantStart);
        EXPECT_EQ(r.end, n.wantEnd);
    }
}

TEST(SliderMathTest, SubRangeNeedsAMarkerThreePixelsInside)
{
    struct Case
    {
        int start, end;
        bool sub;
    };
    const Case cases[] = {{0, 720, false}, {2, 718, false}, {3, 720, true}, {0, 717, true}, {2, 717, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        EXPECT_EQ(isSubRange(c.start, c.end, 720), c.sub);
    }
}

TEST(SliderMathTest, SliderPictureOfBothKinds)
{
    const SliderPicture a = sliderPicture(SliderDraw::Current, 10, 800, 720, 150, 300);
    ASSERT_TRUE(a.draw);
    EXPECT_EQ(a.rangeEnd, 720); // limited to the slider
    EXPECT_EQ(a.trackX, 10);
    EXPECT_EQ(a.trackWidth, 721);
    EXPECT_EQ(a.imageWidth, 740);
    EXPECT_EQ(a.bandX, 20);
    EXPECT_EQ(a.bandWidth, 711);
    EXPECT_EQ(a.startMarkerX, 20);
    EXPECT_EQ(a.endMarkerX, 730);
    EXPECT_EQ(a.diamondX, 370);

    EXPECT_FALSE(sliderPicture(SliderDraw::Current, 300, 200, 720, 0, 300).draw); // markers crossed
    EXPECT_FALSE(sliderPicture(SliderDraw::Current, 0, 720, 720, -1, 300).draw);  // no position
    EXPECT_FALSE(sliderPicture(SliderDraw::Current, 0, 720, 720, 0, 0).draw);     // no frames

    const SliderPicture reset = sliderPicture(SliderDraw::Reset, 0, 720, 720, 55, 0);
    ASSERT_TRUE(reset.draw);
    EXPECT_EQ(reset.bandX, 10);
    EXPECT_EQ(reset.bandWidth, 721);
    EXPECT_EQ(reset.startMarkerX, 10);
    EXPECT_EQ(reset.endMarkerX, 730);
    EXPECT_EQ(reset.diamondX, 10);
}

TEST(SliderMathTest, ArrowKeySteps)
{
    struct Case
    {
        FrameStep step;
        int requested, current, frames, expected;
        const char* what;
    };
    const Case cases[] = {
        {FrameStep::Back, 10, 10, 300, 9, "one back"},
        {FrameStep::Back, 0, 0, 300, 0, "not below 0"},
        {FrameStep::Forward, 10, 10, 300, 11, "one forward"},
        {FrameStep::Forward, 300, 300, 300, 295, "past the count: five before the end"},
        {FrameStep::JumpForward, 0, 100, 300, 130, "a tenth forward from the current frame"},
        {FrameStep::JumpForward, 0, 290, 300, 295, "a tenth past the end"},
        {FrameStep::JumpBack, 0, 100, 300, 70, "a tenth back"},
        {FrameStep::JumpBack, 0, 10, 300, 1, "a tenth before the start gives frame 1"},
        {FrameStep::Forward, 3, 3, 3, 0, "a three-frame video never steps below 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(steppedFrame(c.step, c.requested, c.current, c.frames), c.expected);
    }
    EXPECT_EQ(pauseRequestFrame(98, 100), 98);
    EXPECT_EQ(pauseRequestFrame(99, 100), 0); // pausing on the last frame rewinds
}

TEST(SliderMathTest, EndMarkerIsReachedOnItsOwnFrame)
{
    EXPECT_FALSE(reachedEndMarker(298, 720, 720, 300));
    EXPECT_TRUE(reachedEndMarker(299, 720, 720, 300)); // the whole video: every frame is played
    EXPECT_FALSE(reachedEndMarker(148, 360, 720, 300));
    EXPECT_TRUE(reachedEndMarker(149, 360, 720, 300));
    // Without a frame count the marker maps nowhere; only the file's end stops playback.
    EXPECT_FALSE(reachedEndMarker(5000, 720, 720, 0));
    EXPECT_FALSE(reachedEndMarker(5000, 720, 720, 1));
    EXPECT_FALSE(reachedEndMarker(5000, 720, 1, 300));
}

TEST(SliderMathTest, PacingSleepsOnlyBetweenOneAnd299Ms)
{
    struct Case
    {
        int current, start, fps;
        long long startTick, now;
        int expected;
        const char* what;
    };
    const Case cases[] = {
        {3, 0, 30, 1000, 1000, 100, "three frames ahead of the time base"},
        {3, 0, 30, 1000, 1099, 1, "one millisecond early"},
        {3, 0, 30, 1000, 1100, 0, "exactly due"},
        {3, 0, 30, 1000, 1500, 0, "late: shown at once"},
        {1, 0, 4, 1000, 1000, 250, "a slow frame rate"},
        {3, 0, 10, 1000, 1001, 299, "299 ms is still slept"},
        {3, 0, 10, 1000, 1000, 0, "300 ms or more is never slept"},
        {3, 0, 0, 1000, 0, 0, "no frame rate: unpaced"},
        {3, 0, -5, 1000, 0, 0, "negative frame rate: unpaced"},
        {105, 100, 30, 50000, 50000, 166, "time base of the last seek"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pacingSleepMs(c.current, c.start, c.fps, c.startTick, c.now), c.expected);
    }
}

TEST(SliderMathTest, PlayerPauseMarkScalesWithThePictureWithinLimits)
{
    const PauseMarkSize a = playerPauseMarkSize(720, 540, 640, 480);
    EXPECT_EQ(a.halfWidth, 33);
    EXPECT_EQ(a.halfHeight, 33);
    const PauseMarkSize small = playerPauseMarkSize(100, 100, 640, 480);
    EXPECT_EQ(small.halfWidth, 8);
    EXPECT_EQ(small.halfHeight, 8);
    const PauseMarkSize big = playerPauseMarkSize(4000, 4000, 160, 120);
    EXPECT_EQ(big.halfWidth, 140);
    EXPECT_EQ(big.halfHeight, 140);
    const PauseMarkSize none = playerPauseMarkSize(720, 540, 0, 0);
    EXPECT_EQ(none.halfWidth, 0);
}

TEST(SliderMathTest, TimeTexts)
{
    struct Case
    {
        int elapsed, total;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "00:00/00:00"},        {3599, 3600, "59:59/60:00"},
        {6000, 6059, "00:00/00:59"}, // minutes mod 100
        {5999, 12345, "99:59/05:45"}, {-1, -1, "00:00/00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(playbackTimeText(c.elapsed, c.total), QString::fromUtf8(c.text));
    EXPECT_EQ(framesToSeconds(90, 30), 3);
    EXPECT_EQ(framesToSeconds(90, 0), 0);
    EXPECT_EQ(framesToSeconds(90, -1), 0);

    EXPECT_EQ(recordingTimeText(0), QString::fromUtf8("00:00 ○"));
    EXPECT_EQ(recordingTimeText(1999), QString::fromUtf8("00:01 ●"));
    EXPECT_EQ(recordingTimeText(2000), QString::fromUtf8("00:02 ○"));
    EXPECT_EQ(recordingTimeText(6001000), QString::fromUtf8("100:01 ●")); // minutes not limited
}
