#pragma once
// The playback slider's arithmetic: hit tests of the slider band and the picture, slider pixel
// to frame and back, the marker drag rules, what the slider picture shows, the key steps of the
// library mode, pacing waits and the time texts. Pure functions; thread-safe.

#include <QRect>
#include <QString>

#include <cstdint>

namespace tolvek {

inline constexpr int SliderTrackHeight = 29;
inline constexpr int SliderDrawOffset = 10;   // slider position p is drawn at x = p + 10 in control 1038
inline constexpr int SliderGraceZone = 15;    // pixels beyond either end that still hit the slider
inline constexpr int MarkerGrabDistance = 13; // a press at most this far from a marker grabs it
inline constexpr int MinimumRangePixels = 20; // markers never come closer than this
inline constexpr int TrimEdgePixels = 3;      // a marker this far inside an end marks a sub-range

// LiveViewRect and SliderLength, as the layout set them.
struct SliderGeometry
{
    QRect liveView;
    int sliderLength = 0;
    int x0() const { return liveView.left(); }
    int y0() const { return liveView.top() + liveView.height() + 3; } // top of the track
};

inline constexpr int HitNone = -1;    // neither the slider band nor the picture
inline constexpr int HitPicture = -2; // over the picture, outside the slider band

// SliderHitTest: the slider position 0..SliderLength under a client point, HitPicture or HitNone.
int sliderHitTest(const SliderGeometry& g, int x, int y);
// PictureHitTest: library mode, inside LiveViewRect and not on the slider band.
bool pictureHitTest(const SliderGeometry& g, int windowMode, int x, int y);

// SliderToFrame: p x (frames - 1) / (length - 1) with a 64-bit product, truncated; 0 when the
// slider or the video is shorter than 2. Unclamped: positions past the end give frames past it.
int sliderToFrame(int p, int sliderLength, int frameCount);
// The same, limited to 0..frameCount - 1 (0 for an empty video), as the mouse handlers use it.
int sliderToFrameClamped(int p, int sliderLength, int frameCount);
// A frame number limited to 0..frameCount - 1 (0 when frameCount < 1).
int clampFrame(int frame, int frameCount);
// The frames the two markers enclose, both ends included: the frame shown at a marker is the
// frame it marks. Playback runs from `first` to `last` and the trim writes exactly these frames.
struct MarkedFrames
{
    int first = 0;
    int last = -1; // -1: no frame (an empty video)
    int count() const { return last >= first ? last - first + 1 : 0; }
};
MarkedFrames markedFrames(int rangeStart, int rangeEnd, int sliderLength, int frameCount);
// Where the position diamond stands: currentFrame x length / frames (64-bit), 0 without frames.
int frameToSlider(int currentFrame, int sliderLength, int frameCount);

// What a press on the slider drags.
enum SliderDragKind : int { DragNone = 0, DragStartMarker = 1, DragPosition = 2, DragEndMarker = 3 };
struct DragChoice
{
    int kind = DragNone;
    int offset = 0; // marker position minus pointer position, so the marker does not jump
};
// The start marker wins when both markers are within reach.
DragChoice chooseDrag(int p, int rangeStart, int rangeEnd);

// A pointer position during a drag: a position off the band falls back to the last one inside
// it (0 when there is none), and the result stays below SliderLength.
int dragPointer(int hit, int pointerPosition, int sliderLength);
// New marker positions while dragging (pointer p, offset from the press).
int draggedRangeStart(int p, int offset, int rangeEnd, int sliderLength);
int draggedRangeEnd(int p, int offset, int rangeStart, int sliderLength);

struct SliderRange
{
    int start = 0;
    int end = 0;
};
// After a marker drag: both markers on the slider and at least 20 pixels apart when it is long
// enough.
SliderRange normalizeRange(int rangeStart, int rangeEnd, int sliderLength);
// True when the markers enclose less than the whole video (trim enabled, picture 141, tip 7).
bool isSubRange(int rangeStart, int rangeEnd, int sliderLength);

// What DrawSlider draws: the current state, or the reset state (markers at both ends, the
// position at the start).
enum class SliderDraw { Current = 1, Reset = 2 };

// DrawSlider's picture, in control coordinates.
struct SliderPicture
{
    bool draw = false; // Current draws nothing for an inconsistent state
    int rangeEnd = 0;  // RangeEnd after the limit to SliderLength
    int trackX = SliderDrawOffset;
    int trackWidth = 0; // SliderLength + 1
    int bandX = 0;
    int bandWidth = 0;
    int startMarkerX = 0;
    int endMarkerX = 0;
    int diamondX = 0;
    int imageWidth = 0; // SliderLength + 20
};
SliderPicture sliderPicture(SliderDraw kind, int rangeStart, int rangeEnd, int sliderLength, int currentFrame,
                            int frameCount);

// The library-mode arrow keys: the frame requested after the key's TogglePlayback.
enum class FrameStep { Back, Forward, JumpForward, JumpBack };
int steppedFrame(FrameStep step, int requestedFrame, int currentFrame, int frameCount);

// What TogglePlayback requests when it pauses: the current frame, or 0 on the last frame.
int pauseRequestFrame(int currentFrame, int frameCount);

// True once the frame last shown is the end marker's frame (markedFrames' last) or beyond.
// Without a usable frame count (< 2) the marker maps nowhere and only the end of the file ends
// playback.
bool reachedEndMarker(int currentFrame, int rangeEnd, int sliderLength, int frameCount);

// Pacing: the milliseconds to sleep before showing currentFrame, measured from the time base of
// the last seek; 0 (no sleep) unless the wait lies within 1..299 ms, or when fps <= 0.
int pacingSleepMs(int currentFrame, int startFrame, int fps, std::int64_t startTickMs, std::int64_t nowMs);

// Half width and height, in screen pixels, of the pause mark the player puts over the picture.
struct PauseMarkSize
{
    int halfWidth = 0;
    int halfHeight = 0;
};
PauseMarkSize playerPauseMarkSize(int viewWidth, int viewHeight, int frameCols, int frameRows);

// Time texts of control 1042. Library mode: "%02d:%02d/%02d:%02d", minutes mod 100.
QString playbackTimeText(int elapsedSeconds, int totalSeconds);
// Seconds of a frame number at fps; 0 when fps <= 0.
int framesToSeconds(int frames, int fps);
// Recording: "%02d:%02d ●" on odd seconds, "%02d:%02d ○" on even ones, minutes not limited.
QString recordingTimeText(int elapsedMs);

} // namespace tolvek
