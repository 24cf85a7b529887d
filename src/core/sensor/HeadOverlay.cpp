#include "core/sensor/HeadOverlay.h"

#include "core/settings/Settings.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace tolvek {

namespace {

using HeadModelTable = std::array<HeadModelPoint, HeadModelPointCount + 1>;

struct TableBuilder
{
    HeadModelTable table{};
    int size = 0;

    constexpr void add(float a, float b, int pen = 0) { table[size++] = {a, b, pen}; }
    constexpr void endStroke() { table[size - 1].pen = 1; }
};

// The eye outline of the patient's one side; the other eye mirrors it in latitude.
constexpr std::array<std::array<float, 2>, 13> EyeOutline{{{23, -9},
                                                           {31, -12},
                                                           {38, -20},
                                                           {40, -31},
                                                           {38, -41},
                                                           {31, -46},
                                                           {23, -45},
                                                           {15, -39},
                                                           {10, -32},
                                                           {8, -23},
                                                           {10, -16},
                                                           {15, -10},
                                                           {23, -9}}};
constexpr std::array<std::array<float, 2>, 3> Pupil{{{22, -26}, {23, -25}, {24, -24}}};
constexpr std::array<std::array<float, 2>, 9> Mouth{
    {{-19, 32}, {-14, 31}, {-9, 31}, {-4, 31}, {0, 30}, {4, 31}, {9, 31}, {14, 31}, {19, 32}}};
constexpr std::array<float, 7> CrownLongitudesInner{-90, -105, -120, -135, -150, -165, -180};
// The outer crown arcs really do use -140 as their third longitude.
constexpr std::array<float, 7> CrownLongitudesOuter{-90, -105, -140, -135, -150, -165, -180};

constexpr HeadModelTable makeHeadModel()
{
    TableBuilder t;
    for (int i = 0; i <= 24; ++i)
        t.add(15.0f * i, 0.0f);
    t.endStroke();
    for (int i = 0; i <= 24; ++i)
        t.add(0.0f, 15.0f * i);
    t.endStroke();
    for (int i = 0; i <= 24; ++i)
        t.add(15.0f * i, 90.0f, i == 23 ? 90 : 0);
    t.endStroke();
    for (float a : {20.0f, -20.0f}) {
        for (float b : CrownLongitudesInner)
            t.add(a, b);
        t.endStroke();
    }
    for (float a : {40.0f, -40.0f}) {
        for (float b : CrownLongitudesOuter)
            t.add(a, b);
        t.endStroke();
    }
    for (float sign : {1.0f, -1.0f}) {
        for (const auto& p : EyeOutline)
            t.add(sign * p[0], p[1]);
        t.endStroke();
    }
    for (float sign : {1.0f, -1.0f}) {
        for (const auto& p : Pupil)
            t.add(sign * p[0], p[1]);
        t.endStroke();
    }
    for (const auto& p : Mouth)
        t.add(p[0], p[1]);
    t.endStroke();
    t.table[t.size++] = HeadModelTerminator;
    return t.table;
}

constexpr HeadModelTable CheckedHeadModel = makeHeadModel();
static_assert(CheckedHeadModel[HeadModelPointCount].pen == HeadModelTerminator.pen &&
                  CheckedHeadModel[HeadModelPointCount - 1].pen == 1,
              "the head model must hold exactly 144 points");

const cv::Scalar Black(0, 0, 0);
const cv::Scalar White(255, 255, 255);
const cv::Scalar BallGrey(200, 200, 200);
const cv::Scalar FigureLight(250, 250, 250);

// Behind the ball: depth more than one unit away from the viewer.
constexpr float HiddenDepth = -1.0f;
constexpr double NormalisationEpsilon = 1.1920929e-7;

void drawPostureFigure(cv::Mat& frame, int posture)
{
    if (posture == PostureSupine) {
        cv::rectangle(frame, cv::Point(0, 0), cv::Point(13, 9), Black, cv::FILLED, cv::LINE_8);
        cv::rectangle(frame, cv::Point(11, 0), cv::Point(11, 1), FigureLight, 1, cv::LINE_4);
        cv::rectangle(frame, cv::Point(2, 1), cv::Point(4, 3), FigureLight, 1, cv::LINE_4);
    } else if (posture == PostureSitting) {
        cv::rectangle(frame, cv::Point(0, 0), cv::Point(7, 13), Black, cv::FILLED, cv::LINE_8);
        cv::rectangle(frame, cv::Point(6, 11), cv::Point(7, 11), FigureLight, 1, cv::LINE_4);
        cv::rectangle(frame, cv::Point(4, 2), cv::Point(6, 4), FigureLight, 1, cv::LINE_4);
    }
}

} // namespace

const HeadModelTable HeadModel = CheckedHeadModel;

std::array<HeadVertex, HeadModelPointCount> buildHeadModel()
{
    constexpr float Pi = 3.1415925f;
    constexpr float QuarterTurn = 1.5707963f;
    const float cosC = std::cos(QuarterTurn), sinC = std::sin(QuarterTurn);
    std::array<HeadVertex, HeadModelPointCount> vertices{};
    for (int i = 0; i < HeadModelPointCount; ++i) {
        const float a = HeadModel[i].a * Pi / 180.0f;
        const float b = HeadModel[i].b * Pi / 180.0f;
        float x = 0.0f, y = 40.0f, z = 0.0f;
        // Latitude about x, longitude about z, then a quarter turn about y so that latitude
        // moves the point sideways and longitude up or down.
        float ny = y * std::cos(a) - z * std::sin(a);
        float nz = y * std::sin(a) + z * std::cos(a);
        y = ny, z = nz;
        float nx = x * std::cos(b) - y * std::sin(b);
        ny = x * std::sin(b) + y * std::cos(b);
        x = nx, y = ny;
        nx = x * cosC + z * sinC;
        nz = z * cosC - x * sinC;
        vertices[i] = {nx, y, nz};
    }
    return vertices;
}

const std::array<HeadVertex, HeadModelPointCount>& headModelVertices()
{
    static const std::array<HeadVertex, HeadModelPointCount> vertices = buildHeadModel();
    return vertices;
}

int overlayPosture(int posture, bool headSetByHand)
{
    return headSetByHand ? posture : NoPostureFigure;
}

HeadOverlayWire projectHeadOverlay(const HeadPose& pose)
{
    HeadOverlayWire wire;
    // Double precision keeps the norm finite for any finite float components.
    double w = pose.w, x = pose.x, y = pose.y, z = pose.z;
    const double n = std::sqrt(w * w + x * x + y * y + z * z);
    if (!std::isfinite(n))
        return wire;
    if (n > NormalisationEpsilon)
        w /= n, x /= n, y /= n, z /= n;

    const float m00 = float(w * w + x * x - y * y - z * z), m01 = float(2 * (x * y - w * z)),
                m02 = float(2 * (x * z + w * y));
    const float m10 = float(2 * (x * y + w * z)), m11 = float(w * w - x * x + y * y - z * z),
                m12 = float(2 * (y * z - w * x));
    const float m20 = float(2 * (x * z - w * y)), m21 = float(2 * (y * z + w * x)),
                m22 = float(w * w - x * x - y * y + z * z);

    const auto& vertices = headModelVertices();
    std::array<HeadVertex, HeadModelPointCount> turned;
    for (int i = 0; i < HeadModelPointCount; ++i) {
        const HeadVertex& v = vertices[i];
        turned[i] = {m00 * v.x + m01 * v.y + m02 * v.z, m10 * v.x + m11 * v.y + m12 * v.z,
                     m20 * v.x + m21 * v.y + m22 * v.z};
    }
    // The picture is mirrored in x; the cast truncates toward zero.
    const auto project = [](const HeadVertex& r) {
        return cv::Point(static_cast<int>(HeadOverlayCentre - r.x),
                         static_cast<int>(HeadOverlayCentre + r.z));
    };
    for (int i = 0; i + 1 < HeadModelPointCount; ++i) {
        if (HeadModel[i].pen == 1)
            continue;
        if (turned[i].y < HiddenDepth && turned[i + 1].y < HiddenDepth)
            continue;
        wire.segments[wire.count++] = {project(turned[i]), project(turned[i + 1]), i};
    }
    return wire;
}

void drawHeadOverlay(cv::Mat& frameBgr, const HeadPose& pose, int posture)
{
    if (frameBgr.empty() || frameBgr.type() != CV_8UC3)
        return;
    const int last = HeadOverlaySize - 1;
    // An anti-aliased fill would blend a fringe into row and column 85, outside the square; the
    // 8-connected fill covers exactly the same pixels inside it.
    cv::rectangle(frameBgr, cv::Point(last, last), cv::Point(0, 0), White, cv::FILLED, cv::LINE_8);
    const cv::Point centre(HeadOverlayCentre, HeadOverlayCentre);
    cv::circle(frameBgr, centre, 40, BallGrey, cv::FILLED, cv::LINE_8);
    drawPostureFigure(frameBgr, posture);
    const HeadOverlayWire wire = projectHeadOverlay(pose);
    for (int i = 0; i < wire.count; ++i)
        cv::line(frameBgr, wire.segments[i].from, wire.segments[i].to, Black, 1, cv::LINE_AA);
}

HeadOverlayCallback makeHeadOverlayCallback(const HeadPoseStore& store, const Settings& settings)
{
    return [&store, &settings](cv::Mat& bgrFrame, int posture) {
        const bool headSetByHand = settings.contains(SensorMode, u'0');
        drawHeadOverlay(bgrFrame, store.load(), overlayPosture(posture, headSetByHand));
    };
}

} // namespace tolvek
