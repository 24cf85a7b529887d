#include "core/capture/FrameStamps.h"

#include "core/capture/CaptureFlags.h"

#include <QString>

#include <opencv2/imgproc.hpp>

namespace tolvek {

namespace {

// Burnt-in text: Hershey simplex 0.7, thickness 1, anti-aliased, black on white boxes.
constexpr double TextScale = 0.7;
constexpr int TextThickness = 1;
const cv::Scalar White(255, 255, 255);
const cv::Scalar Black(0, 0, 0);

void drawText(cv::Mat& frame, const QString& text, cv::Point origin)
{
    cv::putText(frame, text.toStdString(), origin, cv::FONT_HERSHEY_SIMPLEX, TextScale, Black, TextThickness,
                cv::LINE_AA);
}

} // namespace

void stampFrame(cv::Mat& frame, int mode, const QDateTime& now, int patientId)
{
    if (mode != ModeRecording && mode != ModeLive)
        return;
    const int w = frame.cols;
    const int h = frame.rows;
    const QDate date = now.date();
    const QTime time = now.time();
    cv::rectangle(frame, dateTimeBox(frame.size()), White, cv::FILLED, cv::LINE_8);
    drawText(frame,
             QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%02d", date.year(), date.month(), date.day(),
                               time.hour(), time.minute(), time.second(), time.msec() / 10),
             cv::Point(w - 293, h - 3));
    if (mode == ModeRecording)
        stampIdLabel(frame, patientId);
}

void stampIdLabel(cv::Mat& frame, int patientId)
{
    const int h = frame.rows;
    cv::rectangle(frame, idBox(frame.size()), White, cv::FILLED, cv::LINE_8);
    drawText(frame, QString::asprintf("ID:%08d", patientId), cv::Point(2, h - 3));
}

cv::Rect dateTimeBox(cv::Size frame)
{
    // Corners (w - 295, h - 20) and (w, h), both inclusive.
    return {frame.width - 295, frame.height - 20, 296, 21};
}

cv::Rect idBox(cv::Size frame)
{
    // Corners (0, h - 20) and (142, h), both inclusive.
    return {0, frame.height - 20, 143, 21};
}

} // namespace tolvek
