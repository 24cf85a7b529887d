#include "core/analysis/TraceDecimation.h"

#include <algorithm>
#include <cmath>

namespace tolvek::analysis {

namespace {

TimeWindow clampedInto(TimeWindow window, int frameCount)
{
    const double span = std::min(window.lastFrame - window.firstFrame, double(std::max(frameCount, 0)));
    window.firstFrame = std::clamp(window.firstFrame, 0.0, std::max(0.0, frameCount - span));
    window.lastFrame = window.firstFrame + span;
    return window;
}

} // namespace

TimeWindow wholeVideo(int frameCount, int left, int width)
{
    return {0.0, double(std::max(frameCount, 0)), left, std::max(width, 0)};
}

int frameAtX(const TimeWindow& window, int x, int frameCount)
{
    if (frameCount <= 0 || window.width <= 0)
        return 0;
    const double frame = window.firstFrame + (x - window.left + 0.5) * window.framesPerPixel();
    return std::clamp(int(std::floor(frame)), 0, frameCount - 1);
}

std::optional<int> xOfFrame(const TimeWindow& window, double frame)
{
    if (window.width <= 0 || frame < window.firstFrame || frame >= window.lastFrame)
        return std::nullopt;
    const int column = int(std::floor((frame - window.firstFrame) / window.framesPerPixel()));
    return window.left + std::min(column, window.width - 1);
}

TimeWindow zoomed(const TimeWindow& window, int anchorX, double factor, int frameCount, double minFrames)
{
    if (window.width <= 0 || !(factor > 0) || frameCount <= 0)
        return window;
    const double anchorShare = std::clamp(double(anchorX - window.left) / window.width, 0.0, 1.0);
    const double anchorFrame = window.firstFrame + anchorShare * (window.lastFrame - window.firstFrame);
    const double span = std::clamp((window.lastFrame - window.firstFrame) / factor,
                                   std::min(minFrames, double(frameCount)), double(frameCount));
    TimeWindow result = window;
    result.firstFrame = anchorFrame - anchorShare * span;
    result.lastFrame = result.firstFrame + span;
    return clampedInto(result, frameCount);
}

TimeWindow scrolledTo(const TimeWindow& window, double firstFrame, int frameCount)
{
    TimeWindow result = window;
    result.lastFrame = firstFrame + (window.lastFrame - window.firstFrame);
    result.firstFrame = firstFrame;
    return clampedInto(result, frameCount);
}

TimeWindow followed(const TimeWindow& window, int frame, int frameCount)
{
    if (frame >= window.firstFrame && frame < window.lastFrame)
        return window;
    const double span = window.lastFrame - window.firstFrame;
    return scrolledTo(window, frame - span / 10.0, frameCount);
}

std::vector<ColumnSpan> decimateToColumns(const std::vector<float>& values, const TimeWindow& window)
{
    std::vector<ColumnSpan> columns(std::size_t(std::max(window.width, 0)));
    const long long count = static_cast<long long>(values.size());
    if (columns.empty() || count == 0)
        return columns;
    const double perPixel = window.framesPerPixel();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const double from = window.firstFrame + double(c) * perPixel;
        long long first = static_cast<long long>(std::floor(from));
        long long end = static_cast<long long>(std::floor(from + perPixel));
        end = std::max(end, first + 1); // a zoomed-in column still shows the frame it lies in
        first = std::max(first, 0LL);
        end = std::min(end, count);
        ColumnSpan& span = columns[c];
        for (long long k = first; k < end; ++k) {
            const float v = values[std::size_t(k)];
            if (std::isnan(v))
                continue;
            if (span.empty) {
                span = {false, v, v, v, v};
            } else {
                span.min = std::min(span.min, v);
                span.max = std::max(span.max, v);
                span.last = v;
            }
        }
    }
    return columns;
}

std::pair<double, double> valueRange(const std::vector<float>& values, double margin, double minSpan)
{
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const float v : values) {
        if (std::isnan(v))
            continue;
        lo = std::min(lo, double(v));
        hi = std::max(hi, double(v));
    }
    if (lo > hi)
        return {0.0, 1.0};
    const double pad = std::max((hi - lo) * margin, (minSpan - (hi - lo)) / 2.0);
    return {lo - std::max(pad, 0.0), hi + std::max(pad, 0.0)};
}

std::pair<std::size_t, std::size_t> visibleIntervals(const std::vector<std::pair<double, double>>& intervals,
                                                     double from, double to)
{
    // Sorted and disjoint: the ends are sorted too, so both bounds are binary searches.
    const auto first = std::partition_point(intervals.begin(), intervals.end(),
                                            [from](const auto& interval) { return interval.second < from; });
    const auto last = std::partition_point(first, intervals.end(),
                                           [to](const auto& interval) { return interval.first < to; });
    return {std::size_t(first - intervals.begin()), std::size_t(last - intervals.begin())};
}

} // namespace tolvek::analysis
