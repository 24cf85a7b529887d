#pragma once
// The texts burnt into every recorded and live frame: the date-time box and the patient ID box.
// Pure drawing on a BGR picture; any thread.

#include <QDateTime>

#include <opencv2/core.hpp>

namespace tolvek {

// Burns the texts into a BGR frame already at the capture size: in modes 0 and 1 the white
// date-time box with "yyyy-mm-dd hh:mm:ss.hh" of `now`, in mode 0 also the white ID box with
// "ID:%08d". Parts outside a small frame are clipped.
void stampFrame(cv::Mat& frame, int mode, const QDateTime& now, int patientId);
// The white ID box "ID:%08d" at the bottom left, as stampFrame burns it while recording. Drawn
// over an older label it covers it completely.
void stampIdLabel(cv::Mat& frame, int patientId);

// Where the boxes lie in a frame of this size (before clipping to the frame): the date-time box at
// the bottom right, the ID box at the bottom left. Their text stays inside them.
cv::Rect dateTimeBox(cv::Size frame);
cv::Rect idBox(cv::Size frame);

} // namespace tolvek
