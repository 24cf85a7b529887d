#include "support/TestVideos.h"

#include "core/media/HeadTrack.h"
#include "core/media/TagLibText.h"
#include "core/media/WmvWriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <taglib/asffile.h>
#include <taglib/tfilestream.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>

namespace tolvek::test {

QString makeTestWmv(const QString& path, int frames, int w, int h, int fps)
{
    media::WmvWriter writer;
    if (!writer.open(
            path,
            {.width = w, .height = h, .fps = double(fps), .productMark = false, .headerReserve = false}))
        return {};
    cv::Mat frame(h, w, CV_8UC3);
    for (int i = 0; i < frames; ++i) {
        frame.setTo(cv::Scalar((i * 7) % 256, 128, 255 - (i * 5) % 256));
        const int x = (i * 3) % std::max(1, w - 8);
        cv::rectangle(frame, cv::Rect(x, 0, 8, h), cv::Scalar(255, 255, 255), cv::FILLED);
        if (!writer.write(frame))
            return {};
    }
    return writer.close() ? path : QString();
}

QString makeProgramWmv(const QString& path, int frames, int w, int h, const QString& title,
                       bool headerReserve)
{
    media::WmvWriterSettings settings;
    settings.width = w;
    settings.height = h;
    settings.title = title;
    settings.headerReserve = headerReserve;
    media::WmvWriter writer;
    if (!writer.open(path, settings))
        return {};
    cv::Mat frame(h, w, CV_8UC3);
    for (int i = 0; i < frames; ++i) {
        frame.setTo(cv::Scalar(20 + (i * 9) % 200, 90, 160));
        cv::circle(frame, cv::Point((i * 4) % w, h / 2), std::max(2, h / 8), cv::Scalar(10, 10, 10),
                   cv::FILLED);
        if (!writer.write(frame))
            return {};
    }
    return writer.close() ? path : QString();
}

QByteArray writeTestHeadData(const QString& videoPath, int frames, int fps)
{
    std::vector<media::HeadTrackRow> rows;
    for (int i = 0; i < frames; ++i)
        rows.push_back({i, double(i) / fps, {media::HeadSource::Serial, 0.9f, float(i), 0.0f, 0.0f, 0}});
    const QByteArray bytes = media::formatHeadTrack(rows);
    QFile file(media::headTrackPath(videoPath));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return bytes;
}

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

QString makeFfmpegWmv(const QString& path, int frames, const QString& title, int w, int h, int fps)
{
    QStringList args{
        QStringLiteral("-nostdin"),  QStringLiteral("-v"),
        QStringLiteral("error"),     QStringLiteral("-y"),
        QStringLiteral("-f"),        QStringLiteral("lavfi"),
        QStringLiteral("-i"),        QStringLiteral("testsrc=size=%1x%2:rate=%3").arg(w).arg(h).arg(fps),
        QStringLiteral("-frames:v"), QString::number(frames),
        QStringLiteral("-c:v"),      QStringLiteral("wmv2")};
    if (!title.isNull())
        args << QStringLiteral("-metadata") << QStringLiteral("title=") + title;
    args << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0)
        return {};
    return QFile::exists(path) ? path : QString();
}

bool damageVideo(const QString& path, VideoDamage how, double from)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 size = file.size();
    const qint64 start = qint64(double(size) * from);
    switch (how) {
    case VideoDamage::CutOff:
        return file.resize(start);
    case VideoDamage::Zeroed:
        return file.seek(start) && file.write(QByteArray(size - start, '\0')) == size - start;
    case VideoDamage::Noise: {
        QByteArray noise(size / 4, Qt::Uninitialized);
        quint32 x = 12345;
        for (char& c : noise) {
            x = x * 1103515245u + 12345u;
            c = char(x >> 24);
        }
        return file.seek(start) && file.write(noise) == noise.size();
    }
    }
    return false;
}

int countDecodedFrames(const QString& path)
{
    cv::VideoCapture capture(path.toStdString(), cv::CAP_FFMPEG);
    if (!capture.isOpened())
        return -1;
    int count = 0;
    cv::Mat frame;
    while (capture.read(frame) && !frame.empty())
        ++count;
    return count;
}

QString copyrightOf(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileStream stream(name.constData(), true);
    TagLib::ASF::File file(&stream);
    if (!file.isValid() || !file.tag())
        return QStringLiteral("<not an ASF file>");
    return fromTagLibString(file.tag()->copyright());
}

} // namespace tolvek::test
