#pragma once
// The arithmetic of drawing long eye-position traces: which frames a window of the time axis
// shows, which frame lies under a pixel and where a frame is drawn, zooming and following the
// player, and the reduction of the visible samples to one min/max span per pixel column, so that
// drawing costs the same for a ten-second test and a two-hour recording.
// Pure functions on plain data; thread-safe. Missing samples are NaN; nothing throws.

#include <optional>
#include <utility>
#include <vector>

namespace tolvek::analysis {

// The frames [firstFrame, lastFrame) drawn over the pixel columns [left, left + width).
struct TimeWindow
{
    double firstFrame = 0.0;
    double lastFrame = 0.0;
    int left = 0;
    int width = 0;

    double framesPerPixel() const { return width > 0 ? (lastFrame - firstFrame) / width : 0.0; }
};

// The whole video in one window.
TimeWindow wholeVideo(int frameCount, int left, int width);

// The frame under pixel column x, clamped to 0..frameCount-1; 0 for an empty video or window.
int frameAtX(const TimeWindow& window, int x, int frameCount);
// The pixel column of frame's start; nullopt when the frame lies outside the window.
std::optional<int> xOfFrame(const TimeWindow& window, double frame);

// The window zoomed by factor (> 1 shows fewer frames) around pixel column anchorX, whose frame
// stays put; kept inside 0..frameCount and never narrower than minFrames.
TimeWindow zoomed(const TimeWindow& window, int anchorX, double factor, int frameCount,
                  double minFrames = 20.0);
// The window moved so that it starts at firstFrame, kept inside 0..frameCount.
TimeWindow scrolledTo(const TimeWindow& window, double firstFrame, int frameCount);
// The window as it follows the player: unchanged while frame is inside it; otherwise paged so
// that frame appears a tenth of the width from the left.
TimeWindow followed(const TimeWindow& window, int frame, int frameCount);

// One pixel column of a trace: the extremes of its samples and the first and last of them, so
// that neighbouring columns can be joined. empty: no measured sample (a blink, a lost pupil).
struct ColumnSpan
{
    bool empty = true;
    float min = 0.0f;
    float max = 0.0f;
    float first = 0.0f;
    float last = 0.0f;
};

// values[k]: the sample of frame k, NaN when missing. One span per column of the window; each
// column covers the frames from its left edge up to the next column's, and at least one frame.
std::vector<ColumnSpan> decimateToColumns(const std::vector<float>& values, const TimeWindow& window);

// The smallest and largest measured value, widened by margin (a share of the span, at least
// minSpan in total); {0, 1} when nothing was measured.
std::pair<double, double> valueRange(const std::vector<float>& values, double margin = 0.05,
                                     double minSpan = 10.0);

// The indices [first, last) of the intervals (start, end in seconds, sorted by start) that
// overlap [from, to). Intervals must not overlap one another.
std::pair<std::size_t, std::size_t> visibleIntervals(const std::vector<std::pair<double, double>>& intervals,
                                                     double from, double to);

} // namespace tolvek::analysis
