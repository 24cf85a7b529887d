// The prompt flush of the recorder's writer: OpenCV's WMV writer (FFmpeg back end) opened inside a
// WriterFlushScope puts its first second on disk while it is still open, and the finished file is
// byte for byte the one it writes without the scope.
#include "core/capture/WriterFlush.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

using namespace tolvek;

namespace {

constexpr int Fps = 30;

// A second of a grey eye picture with a moving dark pupil: the low rate of a real recording.
std::vector<cv::Mat> oneSecond()
{
    std::vector<cv::Mat> frames;
    for (int i = 0; i < Fps; ++i) {
        cv::Mat f(480, 640, CV_8UC3, cv::Scalar(118, 118, 118));
        cv::circle(f, cv::Point(300 + 3 * i, 240), 40, cv::Scalar(25, 25, 25), cv::FILLED);
        frames.push_back(f);
    }
    return frames;
}

bool openWriter(cv::VideoWriter& w, const QString& path)
{
    return w.open(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('W', 'M', 'V', '2'),
                  Fps, cv::Size(640, 480), true);
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(WriterFlush, FirstSecondIsOnDiskWhileRecordingAndTheFileIsUnchanged)
{
    QTemporaryDir dir;
    const std::vector<cv::Mat> frames = oneSecond();
    const QString prompt = dir.filePath(QStringLiteral("prompt.wmv"));
    const QString buffered = dir.filePath(QStringLiteral("buffered.wmv"));

    cv::VideoWriter w;
    {
        const WriterFlushScope scope;
        ASSERT_TRUE(openWriter(w, prompt));
        EXPECT_TRUE(scope.tookEffect());
    }
    for (const cv::Mat& f : frames)
        w.write(f);
    const qint64 whileOpen = QFileInfo(prompt).size();
    w.release();
    const qint64 finished = QFileInfo(prompt).size();
    // All but the packet still being filled and the trailer is on disk after one second.
    EXPECT_GT(whileOpen, finished / 2) << whileOpen << " of " << finished << " bytes";

    // Outside a scope nothing changes, and the two files are the same bytes.
    cv::VideoWriter plain;
    ASSERT_TRUE(openWriter(plain, buffered));
    for (const cv::Mat& f : frames)
        plain.write(f);
    plain.release();
    EXPECT_EQ(bytesOf(buffered), bytesOf(prompt));
}
