#include "core/playback/SliderMath.h"

#include <algorithm>

namespace tolvek {

namespace {

int limit(int v, int lo, int hi)
{
    return std::max(lo, std::min(hi, v));
}

} // namespace

int sliderHitTest(const SliderGeometry& g, int x, int y)
{
    const QRect& r = g.liveView;
    const int x0 = g.x0();
    const int y0 = g.y0();
    const int bandTop = y0 - r.height() / 10;
    const int bandBottom = y0 + SliderTrackHeight + 30;
    if (y >= bandTop && y < bandBottom) {
        if (x < x0 - SliderGraceZone || x > x0 + g.sliderLength + SliderGraceZone)
            return HitNone;
        if (x < x0)
            return 0;
        if (x > x0 + g.sliderLength)
            return g.sliderLength;
        return x - x0;
    }
    if (r.left() < x && x < r.left() + r.width() && r.top() < y)
        return y >= r.top() + r.height() ? HitNone : HitPicture;
    return HitNone;
}

bool pictureHitTest(const SliderGeometry& g, int windowMode, int x, int y)
{
    const QRect& r = g.liveView;
    if (windowMode != 2)
        return false;
    if (x < r.left() || x >= r.left() + r.width() || y < r.top() || y >= r.top() + r.height())
        return false;
    return sliderHitTest(g, x, y) < 0;
}

int sliderToFrame(int p, int sliderLength, int frameCount)
{
    if (sliderLength < 2 || frameCount < 2)
        return 0;
    return static_cast<int>(std::int64_t(p) * (frameCount - 1) / (sliderLength - 1));
}

int clampFrame(int frame, int frameCount)
{
    return frameCount < 1 ? 0 : limit(frame, 0, frameCount - 1);
}

MarkedFrames markedFrames(int rangeStart, int rangeEnd, int sliderLength, int frameCount)
{
    if (frameCount < 1)
        return {};
    MarkedFrames m;
    m.first = clampFrame(sliderToFrame(rangeStart, sliderLength, frameCount), frameCount);
    m.last = std::max(m.first, clampFrame(sliderToFrame(rangeEnd, sliderLength, frameCount), frameCount));
    return m;
}

int sliderToFrameClamped(int p, int sliderLength, int frameCount)
{
    return clampFrame(sliderToFrame(p, sliderLength, frameCount), frameCount);
}

int frameToSlider(int currentFrame, int sliderLength, int frameCount)
{
    if (frameCount <= 0)
        return 0;
    return static_cast<int>(std::int64_t(currentFrame) * sliderLength / frameCount);
}

DragChoice chooseDrag(int p, int rangeStart, int rangeEnd)
{
    const int reach = MarkerGrabDistance + 1;
    if (rangeStart - reach < p && p < rangeStart + reach)
        return {DragStartMarker, rangeStart - p};
    if (rangeEnd - reach < p && p < rangeEnd + reach)
        return {DragEndMarker, rangeEnd - p};
    return {DragPosition, 0};
}

int dragPointer(int hit, int pointerPosition, int sliderLength)
{
    int p = hit;
    if (p < 0)
        p = pointerPosition < 0 ? 0 : pointerPosition;
    return std::min(p, sliderLength - 1);
}

int draggedRangeStart(int p, int offset, int rangeEnd, int sliderLength)
{
    const int q = limit(p + offset, 0, sliderLength - 1);
    return std::max(0, std::min(rangeEnd - MinimumRangePixels, q));
}

int draggedRangeEnd(int p, int offset, int rangeStart, int sliderLength)
{
    const int q = limit(p + offset, 0, sliderLength - 1);
    const int end = std::max(rangeStart + MinimumRangePixels, q);
    return end >= sliderLength ? sliderLength - 1 : end;
}

SliderRange normalizeRange(int rangeStart, int rangeEnd, int sliderLength)
{
    SliderRange r{rangeStart, rangeEnd};
    if (r.start < 0)
        r.start = 0;
    if (r.end >= sliderLength)
        r.end = sliderLength - 1;
    if (r.end - r.start < MinimumRangePixels)
        r.end = std::min(sliderLength - 1, r.start + MinimumRangePixels);
    return r;
}

bool isSubRange(int rangeStart, int rangeEnd, int sliderLength)
{
    return !(rangeStart < TrimEdgePixels && rangeEnd > sliderLength - TrimEdgePixels);
}

SliderPicture sliderPicture(SliderDraw kind, int rangeStart, int rangeEnd, int sliderLength, int currentFrame,
                            int frameCount)
{
    SliderPicture s;
    if (kind == SliderDraw::Current &&
        !(rangeStart >= 0 && rangeEnd >= rangeStart && currentFrame >= 0 && frameCount > 0))
        return s;
    s.draw = true;
    s.rangeEnd = std::min(rangeEnd, sliderLength);
    s.trackWidth = sliderLength + 1;
    s.imageWidth = sliderLength + 2 * SliderDrawOffset;
    s.bandWidth = s.rangeEnd - rangeStart + 1;
    if (kind == SliderDraw::Current) {
        s.bandX = rangeStart + SliderDrawOffset;
        s.startMarkerX = rangeStart + SliderDrawOffset;
        s.endMarkerX = s.rangeEnd + SliderDrawOffset;
        s.diamondX = frameToSlider(currentFrame, sliderLength, frameCount) + SliderDrawOffset;
    } else {
        s.bandX = SliderDrawOffset;
        s.startMarkerX = SliderDrawOffset;
        s.endMarkerX = sliderLength + SliderDrawOffset;
        s.diamondX = SliderDrawOffset;
    }
    return s;
}

int steppedFrame(FrameStep step, int requestedFrame, int currentFrame, int frameCount)
{
    int f = 0;
    switch (step) {
    case FrameStep::Back:
        f = std::max(0, requestedFrame - 1);
        break;
    case FrameStep::Forward:
        f = requestedFrame + 1;
        if (f > frameCount)
            f = frameCount - 5;
        break;
    case FrameStep::JumpForward:
        f = currentFrame + frameCount / 10;
        if (f > frameCount)
            f = frameCount - 5;
        break;
    case FrameStep::JumpBack:
        f = currentFrame - frameCount / 10;
        if (f < 0)
            f = 1;
        break;
    }
    // Very short videos would step below frame 0; the player shows frame 0 for those anyway.
    return std::max(0, f);
}

int pauseRequestFrame(int currentFrame, int frameCount)
{
    return currentFrame > frameCount - 2 ? 0 : currentFrame;
}

bool reachedEndMarker(int currentFrame, int rangeEnd, int sliderLength, int frameCount)
{
    if (sliderLength < 2 || frameCount < 2)
        return false;
    return currentFrame >= markedFrames(0, rangeEnd, sliderLength, frameCount).last;
}

int pacingSleepMs(int currentFrame, int startFrame, int fps, std::int64_t startTickMs, std::int64_t nowMs)
{
    if (fps <= 0)
        return 0;
    const std::int64_t wait = std::int64_t(currentFrame - startFrame) * 1000 / fps + startTickMs - nowMs;
    return (wait >= 1 && wait <= 299) ? static_cast<int>(wait) : 0;
}

PauseMarkSize playerPauseMarkSize(int viewWidth, int viewHeight, int frameCols, int frameRows)
{
    if (frameCols <= 0 || frameRows <= 0)
        return {};
    return {limit(viewWidth * 30 / frameCols, 8, 140), limit(viewHeight * 30 / frameRows, 8, 140)};
}

QString playbackTimeText(int elapsedSeconds, int totalSeconds)
{
    const int s = std::max(0, elapsedSeconds);
    const int t = std::max(0, totalSeconds);
    return QString::asprintf("%02d:%02d/%02d:%02d", (s / 60) % 100, s % 60, (t / 60) % 100, t % 60);
}

int framesToSeconds(int frames, int fps)
{
    return fps > 0 ? frames / fps : 0;
}

QString recordingTimeText(int elapsedMs)
{
    const int s = std::max(0, elapsedMs) / 1000;
    const QString mark = (s % 2) ? QStringLiteral("●") : QStringLiteral("○");
    return QString::asprintf("%02d:%02d ", s / 60, s % 60) + mark;
}

} // namespace tolvek
