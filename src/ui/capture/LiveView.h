#pragma once
// Painting of the video picture: the current display frame stretched over the whole picture
// rectangle (white when there is none) and, while the head is set by hand in the live modes,
// the grid of the nine clickable sections. UI thread only.

#include "core/capture/DisplayFrame.h"

#include <QRect>

class QPainter;

namespace tolvek {

// Lines of the 3 x 3 section grid: the same integer thirds as the click sections.
struct SectionGrid
{
    int x1, x2, y1, y2;
};
SectionGrid sectionGrid(const QRect& r);

void paintLiveView(QPainter& painter, const QRect& target, const FrameCopy& frame, bool drawGrid);

} // namespace tolvek
