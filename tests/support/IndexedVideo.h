#pragma once
// WMV test videos whose frames carry their own index as a row of twelve black or white bars in
// the top fifth of the picture, so that a test can tell which frame a decoder or the display
// shows, through lossy compression and pause marks (which stay in the middle of the picture).

#include "core/capture/DisplayFrame.h"

#include <QString>

#include <opencv2/core/mat.hpp>

namespace tolvek::test {

// The picture of frame index at w x h, blue-green-red.
cv::Mat indexedFrame(int index, int width, int height);
// Writes frames pictures through the program's WmvWriter. False when the writer fails.
bool writeIndexedWmv(const QString& path, int frames, int width = 160, int height = 120, double fps = 30);
// The index a decoded frame carries, or -1 for an empty frame.
int frameIndexOf(const cv::Mat& bgr);
// The index a display frame (red-green-blue) carries, or -1 when it holds none.
int frameIndexOf(const FrameCopy& rgb);

} // namespace tolvek::test
