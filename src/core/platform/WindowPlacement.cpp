#include "core/platform/WindowPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tolvek::platform {

namespace {

// Gap between two ranges [a0, a1) and [b0, b1); 0 when they touch or overlap.
std::int64_t gap(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1)
{
    if (a1 <= b0)
        return b0 - a1;
    if (b1 <= a0)
        return a0 - b1;
    return 0;
}

std::int64_t overlap(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1)
{
    return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
}

} // namespace

int nearestMonitor(const QRect& rect, const QList<QRect>& monitors)
{
    // 64-bit sums: stored positions come from the profile and may be anything.
    const std::int64_t rx0 = rect.x(), ry0 = rect.y();
    const std::int64_t rx1 = rx0 + std::max(rect.width(), 1), ry1 = ry0 + std::max(rect.height(), 1);
    int best = -1;
    std::int64_t bestArea = 0;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        const std::int64_t mx0 = m.x(), my0 = m.y(), mx1 = mx0 + m.width(), my1 = my0 + m.height();
        const std::int64_t area = overlap(rx0, rx1, mx0, mx1) * overlap(ry0, ry1, my0, my1);
        if (area > bestArea) {
            best = i;
            bestArea = area;
            continue;
        }
        if (bestArea > 0)
            continue;
        const std::int64_t dx = gap(rx0, rx1, mx0, mx1), dy = gap(ry0, ry1, my0, my1);
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

QPoint clampIntoWorkArea(QPoint topLeft, QSize size, const QRect& workArea)
{
    const auto clampAxis = [](int v, int low, int extent, int length) {
        const int high = low + extent - length;
        return std::max(low, std::min(v, high));
    };
    return {clampAxis(topLeft.x(), workArea.x(), workArea.width(), size.width()),
            clampAxis(topLeft.y(), workArea.y(), workArea.height(), size.height())};
}

} // namespace tolvek::platform
