#include "core/sensor/HeadOverlay.h"

#include "core/settings/Settings.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <cmath>
#include <limits>
#include <numbers>

using namespace tolvek;

namespace {

constexpr HeadPose Identity{1, 0, 0, 0};
constexpr HeadPose TurnedAround{0, 0, 0, 1};
// HeadModel index ranges of the strokes.
constexpr int FirstCrownPoint = 75, LastCrownPoint = 102;
constexpr int FirstFacePoint = 103;

const cv::Vec3b Background(10, 20, 30);

cv::Mat frameWithOverlay(const HeadPose& pose, int posture, cv::Size size = {160, 120})
{
    cv::Mat frame(size, CV_8UC3, cv::Scalar(Background));
    drawHeadOverlay(frame, pose, posture);
    return frame;
}

bool sameImage(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

// Mean position of the face strokes (eyes, pupils, mouth) that are visible.
cv::Point2d faceCentre(const HeadOverlayWire& wire)
{
    cv::Point2d sum(0, 0);
    int n = 0;
    for (int i = 0; i < wire.count; ++i) {
        if (wire.segments[i].point >= FirstFacePoint) {
            sum += cv::Point2d(wire.segments[i].from);
            ++n;
        }
    }
    return n ? sum / n : cv::Point2d(-1, -1);
}

int segmentsFrom(const HeadOverlayWire& wire, int firstPoint, int lastPoint)
{
    int n = 0;
    for (int i = 0; i < wire.count; ++i)
        n += wire.segments[i].point >= firstPoint && wire.segments[i].point <= lastPoint;
    return n;
}

} // namespace

TEST(HeadOverlayTest, ModelTableHasTheTwelveStrokes)
{
    std::vector<int> strokeEnds;
    for (int i = 0; i < HeadModelPointCount; ++i)
        if (HeadModel[i].pen == 1)
            strokeEnds.push_back(i);
    EXPECT_EQ(strokeEnds, (std::vector<int>{24, 49, 74, 81, 88, 95, 102, 115, 128, 131, 134, 143}));
    EXPECT_EQ(HeadModel[73].pen, 90);
    EXPECT_EQ(HeadModel[73].a, 345.0f);
    EXPECT_EQ(HeadModel[91].b, -140.0f); // outer crown arc, third longitude
    EXPECT_EQ(HeadModel[77].b, -120.0f); // inner crown arc, third longitude
    EXPECT_EQ(HeadModel[HeadModelPointCount].a, 1000.0f);
    // The second eye mirrors the first in latitude only.
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(HeadModel[116 + i].a, -HeadModel[103 + i].a);
        EXPECT_EQ(HeadModel[116 + i].b, HeadModel[103 + i].b);
    }
}

TEST(HeadOverlayTest, VerticesLieOnTheSphereAsLatitudeAndLongitude)
{
    const auto vertices = buildHeadModel();
    for (int i = 0; i < HeadModelPointCount; ++i) {
        SCOPED_TRACE(i);
        const double a = HeadModel[i].a * std::numbers::pi / 180, b = HeadModel[i].b * std::numbers::pi / 180;
        EXPECT_NEAR(vertices[i].x, 40 * std::sin(a), 1e-3);
        EXPECT_NEAR(vertices[i].y, 40 * std::cos(a) * std::cos(b), 1e-3);
        EXPECT_NEAR(vertices[i].z, 40 * std::cos(a) * std::sin(b), 1e-3);
    }
}

TEST(HeadOverlayTest, DrawsOnlyInsideTheTopLeftSquare)
{
    const HeadPose poses[] = {
        Identity,    TurnedAround, ManualPoseTable[0], ManualPoseTable[8], {0.3f, -0.8f, 0.5f, 0.1f},
        {0, 0, 0, 0}};
    for (const HeadPose& pose : poses) {
        for (int posture : {0, 1, 2}) {
            const cv::Mat frame = frameWithOverlay(pose, posture);
            int changedOutside = 0, unchangedInside = 0;
            for (int y = 0; y < frame.rows; ++y) {
                for (int x = 0; x < frame.cols; ++x) {
                    const bool inside = x < HeadOverlaySize && y < HeadOverlaySize;
                    const bool changed = frame.at<cv::Vec3b>(y, x) != Background;
                    changedOutside += !inside && changed;
                    unchangedInside += inside && !changed;
                }
            }
            EXPECT_EQ(changedOutside, 0) << "posture " << posture;
            EXPECT_EQ(unchangedInside, 0) << "posture " << posture;
        }
    }
}

TEST(HeadOverlayTest, PostureFigureInTheCorner)
{
    const cv::Vec3b black(0, 0, 0), light(250, 250, 250), white(255, 255, 255);
    const cv::Mat supine = frameWithOverlay(Identity, PostureSupine);
    const cv::Mat sitting = frameWithOverlay(Identity, PostureSitting);
    const cv::Mat none = frameWithOverlay(Identity, NoPostureFigure);
    struct Probe
    {
        int x, y;
        cv::Vec3b supine, sitting, none;
    };
    const Probe probes[] = {
        {12, 5, black, white, white}, // inside the lying figure only
        {5, 12, white, black, white}, // inside the sitting figure only
        {11, 1, light, white, white}, // supine feet
        {3, 2, black, black, white},  // inside the supine head outline, left dark
        {2, 3, light, black, white},  // supine head outline
        {5, 2, black, light, white},  // sitting head outline
        {5, 3, black, black, white},  // inside the sitting head outline, left dark
        {6, 11, white, light, white}, // sitting feet
        {1, 1, black, black, white},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(supine.at<cv::Vec3b>(p.y, p.x), p.supine);
        EXPECT_EQ(sitting.at<cv::Vec3b>(p.y, p.x), p.sitting);
        EXPECT_EQ(none.at<cv::Vec3b>(p.y, p.x), p.none);
    }
    EXPECT_TRUE(sameImage(frameWithOverlay(Identity, 7), none));
}

TEST(HeadOverlayTest, CallbackDrawsTheFigureOnlyWhenTheHeadIsSetByHand)
{
    HeadState head;
    head.setManualPose(6);
    Settings settings;
    const HeadOverlayCallback overlay = makeHeadOverlayCallback(head.poseStore(), settings);

    settings.setValue(SensorMode, QStringLiteral("0"));
    cv::Mat manual(120, 160, CV_8UC3, cv::Scalar(Background));
    overlay(manual, PostureSitting);
    EXPECT_TRUE(sameImage(manual, frameWithOverlay(ManualPoseTable[5], PostureSitting)));

    settings.setValue(SensorMode, QStringLiteral("2"));
    cv::Mat withSensor(120, 160, CV_8UC3, cv::Scalar(Background));
    overlay(withSensor, PostureSitting);
    EXPECT_TRUE(sameImage(withSensor, frameWithOverlay(ManualPoseTable[5], NoPostureFigure)));
}

TEST(HeadOverlayTest, NonUnitPosesAreNormalised)
{
    // The start-up pose faces forward.
    EXPECT_TRUE(sameImage(frameWithOverlay(InitialHeadPose, 1), frameWithOverlay(Identity, 1)));
    const HeadPose right = ManualPoseTable[5];
    const HeadPose doubled{2 * right.w, 2 * right.x, 2 * right.y, 2 * right.z};
    EXPECT_TRUE(sameImage(frameWithOverlay(doubled, 2), frameWithOverlay(right, 2)));
    // A huge but finite pose is normalised without overflowing.
    EXPECT_TRUE(sameImage(frameWithOverlay({3e30f, 0, 0, 0}, 0), frameWithOverlay(Identity, 0)));
    // A non-unit pose that was not normalised would throw points off the ball.
    const HeadOverlayWire wire = projectHeadOverlay(doubled);
    for (int i = 0; i < wire.count; ++i) {
        for (cv::Point p : {wire.segments[i].from, wire.segments[i].to}) {
            EXPECT_LE(std::hypot(p.x - 42, p.y - 42), 41.5);
        }
    }
}

TEST(HeadOverlayTest, ZeroPoseCollapsesOntoTheCentre)
{
    const HeadOverlayWire wire = projectHeadOverlay({0, 0, 0, 0});
    EXPECT_EQ(wire.count, 143 - 11); // every joined pair, none hidden
    for (int i = 0; i < wire.count; ++i) {
        EXPECT_EQ(wire.segments[i].from, cv::Point(42, 42));
        EXPECT_EQ(wire.segments[i].to, cv::Point(42, 42));
    }
    const cv::Mat frame = frameWithOverlay({0, 0, 0, 0}, 0);
    EXPECT_LT(frame.at<cv::Vec3b>(42, 42)[0], 200);
    EXPECT_EQ(frame.at<cv::Vec3b>(42, 60), cv::Vec3b(200, 200, 200));
}

TEST(HeadOverlayTest, NonFinitePoseDrawsTheBallWithoutWire)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const HeadPose& pose : {HeadPose{nan, 0, 0, 0}, HeadPose{1, inf, 0, 0}}) {
        EXPECT_EQ(projectHeadOverlay(pose).count, 0);
        const cv::Mat frame = frameWithOverlay(pose, 0);
        cv::Mat square = frame(cv::Rect(0, 0, 85, 85));
        double darkest = 0;
        cv::minMaxLoc(square.reshape(1), &darkest);
        EXPECT_EQ(darkest, 200); // background and ball only
    }
}

TEST(HeadOverlayTest, FaceAtRestAndTurnedAround)
{
    const HeadOverlayWire rest = projectHeadOverlay(Identity);
    const int faceSegments = 12 + 12 + 2 + 2 + 8;
    EXPECT_EQ(segmentsFrom(rest, FirstFacePoint, 142), faceSegments);
    // At rest the crown arcs face away: only their first segments, which start on the rim, show.
    EXPECT_EQ(segmentsFrom(rest, FirstCrownPoint, LastCrownPoint), 4);
    const cv::Point2d centre = faceCentre(rest);
    EXPECT_NEAR(centre.x, 42, 1.0);
    // Eyes above the centre, mouth below it.
    for (int i = 0; i < rest.count; ++i) {
        const int p = rest.segments[i].point;
        if (p >= FirstFacePoint && p < 135) {
            EXPECT_LT(rest.segments[i].from.y, 42);
        } else if (p >= 135) {
            EXPECT_GT(rest.segments[i].from.y, 42);
        }
    }

    const HeadOverlayWire around = projectHeadOverlay(TurnedAround);
    EXPECT_EQ(segmentsFrom(around, FirstFacePoint, 142), 0);
    EXPECT_EQ(segmentsFrom(around, FirstCrownPoint, LastCrownPoint), 4 * 6);
    EXPECT_FALSE(sameImage(frameWithOverlay(Identity, 0), frameWithOverlay(TurnedAround, 0)));
}

TEST(HeadOverlayTest, PresetsTurnTheFaceTowardTheirNinth)
{
    const cv::Point2d rest = faceCentre(projectHeadOverlay(Identity));
    struct Case
    {
        int section;
        int dx, dy; // expected sign of the shift on screen
    };
    const Case cases[] = {{1, -1, 1}, {2, 0, 1},   {3, 1, 1},  {4, -1, 0}, {5, 0, 0},
                          {6, 1, 0},  {7, -1, -1}, {8, 0, -1}, {9, 1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        const cv::Point2d shift = faceCentre(projectHeadOverlay(ManualPoseTable[c.section - 1])) - rest;
        const auto sign = [](double v) { return v > 3 ? 1 : v < -3 ? -1 : 0; };
        EXPECT_EQ(sign(shift.x), c.dx) << shift.x;
        EXPECT_EQ(sign(shift.y), c.dy) << shift.y;
    }
}

TEST(HeadOverlayTest, WireIsDrawnInBlackOverTheBall)
{
    const cv::Mat frame = frameWithOverlay(Identity, 0);
    const HeadOverlayWire wire = projectHeadOverlay(Identity);
    int dark = 0;
    for (int i = 0; i < wire.count; ++i)
        dark += frame.at<cv::Vec3b>(wire.segments[i].from)[0] < 100;
    EXPECT_GT(dark, wire.count * 9 / 10);
}

TEST(HeadOverlayTest, SmallEmptyAndForeignFrames)
{
    cv::Mat small(30, 40, CV_8UC3, cv::Scalar(Background));
    drawHeadOverlay(small, Identity, 1);
    EXPECT_EQ(small.at<cv::Vec3b>(29, 39), cv::Vec3b(200, 200, 200));
    EXPECT_EQ(small.at<cv::Vec3b>(5, 5), cv::Vec3b(0, 0, 0));

    cv::Mat empty;
    drawHeadOverlay(empty, Identity, 1);
    EXPECT_TRUE(empty.empty());

    cv::Mat grey(100, 100, CV_8UC1, cv::Scalar(7));
    drawHeadOverlay(grey, Identity, 1);
    EXPECT_EQ(cv::countNonZero(grey != 7), 0);

    // A region of a larger frame is drawn into in place, like a frame header sharing pixels.
    cv::Mat big(200, 200, CV_8UC3, cv::Scalar(Background));
    cv::Mat region = big(cv::Rect(100, 100, 100, 100));
    drawHeadOverlay(region, Identity, 0);
    EXPECT_EQ(big.at<cv::Vec3b>(100, 100), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(big.at<cv::Vec3b>(99, 99), Background);
}
