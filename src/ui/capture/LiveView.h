#pragma once
// Painting of the video picture: the current display frame stretched over the whole picture
// rectangle (white when there is none) and, while the head is set by hand in the live modes,
// the grid of the nine clickable sections. UI thread only.

#include "core/capture/DisplayFrame.h"

#include <QRect>
#include <QString>

class QPainter;

namespace tolvek {

// Lines of the 3 x 3 section grid: the same integer thirds as the click sections.
struct SectionGrid
{
    int x1, x2, y1, y2;
};
SectionGrid sectionGrid(const QRect& r);

void paintLiveView(QPainter& painter, const QRect& target, const FrameCopy& frame, bool drawGrid);

// While recording, the window (never the recorded frames) marks the picture so that it can be
// seen from across the room: a red border inside the picture's edge and a large elapsed time
// with a red dot in its top right corner, clear of the burnt-in date, ID and head picture.
struct RecordingMarks
{
    int border = 0; // width of the red border
    QRect badge;    // the dark box of the elapsed time
    int fontPixels = 0;
};
RecordingMarks recordingMarks(const QRect& picture);
// The elapsed time as the badge shows it: "m:ss" below an hour, "h:mm:ss" from then on.
QString recordingBadgeText(int elapsedMs);
void paintRecordingMarks(QPainter& painter, const QRect& picture, int elapsedMs);

} // namespace tolvek
