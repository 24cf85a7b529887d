#pragma once
// The head-position picture burnt into the top-left 85 x 85 pixels of every frame: a grey ball
// with a wire face turned by HeadPose, plus a small supine/sitting figure when the head is set by
// hand. Pure drawing without state; the vertex table is built once, thread-safely, on first use.
// Any frame is accepted: empty or non-BGR frames are left alone, small frames are clipped.

#include "core/sensor/HeadPose.h"

#include <opencv2/core.hpp>

#include <array>
#include <functional>

namespace tolvek {

class Settings;

// One HeadModel row: latitude a and longitude b in degrees, and the pen flag. A pen flag of 1
// ends a stroke (the point is not joined to the next); any other value joins it.
struct HeadModelPoint
{
    float a = 0.0f;
    float b = 0.0f;
    int pen = 0;
};

inline constexpr int HeadModelPointCount = 144;
inline constexpr HeadModelPoint HeadModelTerminator{1000.0f, 1000.0f, 1000};

// HeadModel: the 144 points of the twelve strokes (three great circles, four crown arcs, two
// eyes, two pupils, the mouth) followed by the terminator row.
extern const std::array<HeadModelPoint, HeadModelPointCount + 1> HeadModel;

struct HeadVertex
{
    float x = 0.0f; // to the patient's side, drawn mirrored
    float y = 0.0f; // out of the face toward the viewer (depth)
    float z = 0.0f; // downward on the screen
};

// BuildHeadModel: the vertex of every HeadModel point, a point on a sphere of radius 40.
std::array<HeadVertex, HeadModelPointCount> buildHeadModel();
// HeadModelVertices: buildHeadModel() computed once per process.
const std::array<HeadVertex, HeadModelPointCount>& headModelVertices();

// Side and centre of the picture square (0, 0)..(84, 84).
inline constexpr int HeadOverlaySize = 85;
inline constexpr int HeadOverlayCentre = 42;

enum HeadOverlayPosture : int { NoPostureFigure = 0, PostureSupine = 1, PostureSitting = 2 };

// The posture to draw: the figure only while the head is set by hand (SensorMode contains "0").
int overlayPosture(int posture, bool headSetByHand);

// One visible wire segment in frame pixels; point is the HeadModel index it starts at.
struct HeadOverlaySegment
{
    cv::Point from;
    cv::Point to;
    int point = 0;
};

struct HeadOverlayWire
{
    std::array<HeadOverlaySegment, HeadModelPointCount> segments{};
    int count = 0;
};

// The wire as drawn for a pose: the pose is normalised unless its norm is at most 2^-23 (a zero
// quaternion then collapses every segment onto the centre); segments with both ends behind the
// ball (depth < -1) are left out. A pose with a non-finite component has no wire.
HeadOverlayWire projectHeadOverlay(const HeadPose& pose);

// DrawHeadOverlay: draws the picture in place into an 8-bit 3-channel BGR frame. posture 1 draws
// the supine figure, 2 the sitting figure, anything else none.
void drawHeadOverlay(cv::Mat& frameBgr, const HeadPose& pose, int posture);

// What the capture thread calls for every frame, with its posture (1 supine, 2 sitting).
using HeadOverlayCallback = std::function<void(cv::Mat& bgrFrame, int posture)>;

// The capture thread's overlay: reads the pose once per frame from store and the SensorMode
// setting to decide on the posture figure. store and settings must outlive the callback.
HeadOverlayCallback makeHeadOverlayCallback(const HeadPoseStore& store, const Settings& settings);

} // namespace tolvek
