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
    cv::rectangle(frame, cv::Point(w, h - 20), cv::Point(w - 295, h), White, cv::FILLED, cv::LINE_8);
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
    cv::rectangle(frame, cv::Point(142, h - 20), cv::Point(0, h), White, cv::FILLED, cv::LINE_8);
    drawText(frame, QString::asprintf("ID:%08d", patientId), cv::Point(2, h - 3));
}

} // namespace tolvek
