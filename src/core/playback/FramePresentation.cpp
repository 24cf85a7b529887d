#include "core/playback/FramePresentation.h"

#include "core/playback/SliderMath.h"

#include <opencv2/imgproc.hpp>

#include <vector>

namespace tolvek {

void drawStillPauseMark(cv::Mat& bgr)
{
    if (bgr.empty())
        return;
    const int cx = bgr.cols / 2;
    const int cy = bgr.rows / 2;
    const std::vector<cv::Point> tri{{cx - 30, cy - 30}, {cx - 30, cy + 30}, {cx + 30, cy}};
    cv::fillConvexPoly(bgr, tri, cv::Scalar(200, 200, 200), cv::LINE_AA);
    cv::polylines(bgr, tri, true, cv::Scalar(120, 120, 120), 1, cv::LINE_8);
}

void drawPlayerPauseMark(cv::Mat& bgr, int viewWidth, int viewHeight)
{
    if (bgr.empty())
        return;
    const int vw = viewWidth > 0 ? viewWidth : bgr.cols;
    const int vh = viewHeight > 0 ? viewHeight : bgr.rows;
    const PauseMarkSize m = playerPauseMarkSize(vw, vh, bgr.cols, bgr.rows);
    // The frame is stretched over the picture, so picture pixels scale back by frame / picture.
    const int hw = std::max(1, m.halfWidth * bgr.cols / vw);
    const int hh = std::max(1, m.halfHeight * bgr.rows / vh);
    const int cx = bgr.cols / 2;
    const int cy = bgr.rows / 2;
    const std::vector<cv::Point> tri{{cx - hw, cy - hh}, {cx - hw, cy + hh}, {cx + hw, cy}};
    cv::fillConvexPoly(bgr, tri, cv::Scalar(200, 200, 200), cv::LINE_8);
    cv::polylines(bgr, tri, true, cv::Scalar(80, 80, 80), 1, cv::LINE_8);
}

bool storeBgrFrame(const cv::Mat& bgr, DisplayFrame& display)
{
    if (bgr.empty() || bgr.type() != CV_8UC3)
        return false;
    display.storeBgr(bgr.data, bgr.cols, bgr.rows, int(bgr.step[0]));
    return true;
}

} // namespace tolvek
