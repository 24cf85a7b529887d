#pragma once
// How a decoded frame reaches the picture: the two pause marks drawn into it and the hand-off
// of its pixels to DisplayFrame. Pure drawing on the caller's frame; thread-safe as long as
// each thread draws on its own frame (DisplayFrame takes its own lock).

#include "core/capture/DisplayFrame.h"

#include <opencv2/core/mat.hpp>

namespace tolvek {

// The mark of a still frame shown on request: a right-pointing triangle 60 frame pixels high
// at the centre, filled light grey (anti-aliased) and outlined in mid grey.
void drawStillPauseMark(cv::Mat& bgr);
// The mark of the paused player: its size is given in picture pixels (see playerPauseMarkSize)
// for a picture of viewWidth x viewHeight and converted to frame pixels here; filled light grey,
// outlined dark grey.
void drawPlayerPauseMark(cv::Mat& bgr, int viewWidth, int viewHeight);
// Converts a blue-green-red frame to red-green-blue and stores it. False for an empty frame,
// which leaves the display frame as it was.
bool storeBgrFrame(const cv::Mat& bgr, DisplayFrame& display);

} // namespace tolvek
