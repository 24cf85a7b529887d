// The program's own WMV writer: files that ffmpeg, OpenCV and the player decode frame for frame,
// with the memo and product mark in the header from the start, the same encoder settings as the
// files OpenCV's writer made, packets on disk while the file is open, and write errors reported by
// the call that met them.

#include "core/media/WmvWriter.h"
#include "core/library/RecordingRecovery.h"
#include "core/media/FrameReader.h"
#include "core/media/VideoHeaderReader.h"
#include "support/SmallTmpfs.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tolvek;
using namespace tolvek::media;
using namespace tolvek::test;

namespace {

constexpr int Fps = 30;

// A grey eye picture with a moving dark pupil, as a recording has.
cv::Mat eyeFrame(int i, int w = 640, int h = 480)
{
    cv::Mat f(h, w, CV_8UC3, cv::Scalar(118, 118, 118));
    cv::circle(f, cv::Point(w / 2 - 40 + 3 * (i % 30), h / 2), h / 12, cv::Scalar(25, 25, 25), cv::FILLED);
    cv::putText(f, std::to_string(i), cv::Point(10, h - 10), cv::FONT_HERSHEY_SIMPLEX, 1.0,
                cv::Scalar(255, 255, 255), 2);
    return f;
}

WmvWriterSettings settingsOf(int w = 640, int h = 480)
{
    WmvWriterSettings s;
    s.width = w;
    s.height = h;
    s.fps = Fps;
    return s;
}

// "key" flags of the video packets, in order, as ffprobe reads them.
QString keyFlags(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
             QStringLiteral("v"), QStringLiteral("-show_entries"), QStringLiteral("packet=flags"),
             QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!p.waitForFinished(30000))
        return {};
    QString flags;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            flags += line.startsWith('K') ? u'K' : u'.';
    return flags;
}

double psnr(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() ? cv::PSNR(a, b) : 0.0;
}

} // namespace

TEST(WmvWriterTest, FilesDecodeFrameForFrameEverywhereAndCarryTheirTagsFromTheStart)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("eye.wmv"));
    WmvWriterSettings s = settingsOf();
    s.title = QStringLiteral("Lagerung rechts \u6f22\u5b57");
    WmvWriter w;
    ASSERT_TRUE(w.open(path, s)) << w.error().toStdString();
    EXPECT_TRUE(w.titleWritten());
    constexpr int Frames = 40;
    for (int i = 0; i < Frames; ++i)
        ASSERT_TRUE(w.write(eyeFrame(i))) << w.error().toStdString();
    // The header is complete while the file is still open: the stop need not rewrite the file.
    EXPECT_EQ(VideoHeaderReader().readDurationAndTitle(path).memo, s.title);
    ASSERT_TRUE(w.close()) << w.error().toStdString();
    EXPECT_EQ(w.framesWritten(), Frames);

    EXPECT_EQ(countDecodedFrames(path), Frames);
    EXPECT_EQ(copyrightOf(path), QStringLiteral("Tolvek"));
    const VideoHeaderInfo header = VideoHeaderReader().readDurationAndTitle(path);
    EXPECT_EQ(header.memo, s.title);
    EXPECT_NEAR(header.seconds, double(Frames) / Fps, 0.05);

    FrameReader reader;
    ASSERT_TRUE(reader.open(QFile::encodeName(path).toStdString()));
    EXPECT_EQ(int(reader.frameCountProperty()), Frames);
    for (int i : {0, 11, 12, 25, Frames - 1}) {
        const cv::Mat frame = reader.frameAt(i);
        EXPECT_GT(psnr(frame, eyeFrame(i)), 30.0) << "frame " << i;
    }
    // A key frame every 12 frames.
    const QString flags = keyFlags(path);
    ASSERT_EQ(flags.size(), Frames);
    for (int i = 0; i < Frames; ++i)
        EXPECT_EQ(flags[i] == u'K', i % WmvWriter::KeyFrameInterval == 0)
            << "packet " << i << ": " << flags.toStdString();
}

// The files look as those OpenCV's writer made: same codec, picture format and group of pictures,
// and about the same size for the same pictures.
TEST(WmvWriterTest, EncodesAsTheEarlierRecordingsWere)
{
    TempDir dir;
    const QString ours = dir.file(QStringLiteral("ours.wmv"));
    const QString theirs = dir.file(QStringLiteral("theirs.wmv"));
    WmvWriter w;
    ASSERT_TRUE(w.open(ours, settingsOf()));
    cv::VideoWriter reference(theirs.toStdString(), cv::CAP_FFMPEG,
                              cv::VideoWriter::fourcc('W', 'M', 'V', '2'), Fps, cv::Size(640, 480), true);
    ASSERT_TRUE(reference.isOpened());
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(w.write(eyeFrame(i)));
        reference.write(eyeFrame(i));
    }
    ASSERT_TRUE(w.close());
    reference.release();
    EXPECT_EQ(keyFlags(ours), keyFlags(theirs));
    const double ratio = double(QFileInfo(ours).size()) / double(QFileInfo(theirs).size());
    EXPECT_GT(ratio, 0.8);
    EXPECT_LT(ratio, 1.25);
}

// A low-rate picture: the first second is in the file while it is still open, where a writer
// that buffers 256 KiB would have left it empty.
TEST(WmvWriterTest, PacketsReachTheFileAsTheyAreMuxed)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("small.wmv"));
    WmvWriter w;
    ASSERT_TRUE(w.open(path, settingsOf(160, 120)));
    const qint64 header = QFileInfo(path).size();
    for (int i = 0; i < Fps; ++i)
        ASSERT_TRUE(w.write(eyeFrame(i, 160, 120)));
    const qint64 whileOpen = QFileInfo(path).size();
    ASSERT_TRUE(w.close());
    const qint64 finished = QFileInfo(path).size();
    EXPECT_GT(header, 0);
    EXPECT_GT(whileOpen - header, (finished - header) / 2) << whileOpen << " of " << finished << " bytes";
}

// A file that can grow no further (the process's file-size limit stands in for a full disk): the
// write that meets it fails with the system's reason, later writes fail at once, and close()
// reports the failure too.
TEST(WmvWriterTest, AWriteErrorComesBackFromTheCallThatMetIt)
{
    TempDir dir;
    const QString path = dir.file(QStringLiteral("full.wmv"));
    struct rlimit before
    {
    };
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = before;
    limit.rlim_cur = 200 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    WmvWriter w;
    const bool opened = w.open(path, settingsOf());
    int failedAt = -1;
    for (int i = 0; opened && i < 600 && failedAt < 0; ++i)
        if (!w.write(eyeFrame(i)))
            failedAt = i;
    const QString reason = w.error();
    const bool later = w.write(eyeFrame(0));
    const bool closed = w.close();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(opened);
    // Where the file system checks the limit when room is reserved ahead (tmpfs), the first
    // frame already finds the file full; elsewhere a later one does.
    EXPECT_GE(failedAt, 0) << "no write failed";
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_FALSE(later);
    EXPECT_FALSE(closed);
    EXPECT_LE(QFileInfo(path).size(), qint64(limit.rlim_cur));
}

// A disk that fills up during a recording: the writer says so at the frame that found no more
// room, and the room it kept ahead lets it finish the file, which plays to that frame.
TEST(WmvWriterTest, AFullDiskEndsTheFileCleanlyAtTheFrameThatFoundItFull)
{
    const SmallTmpfs small(QStringLiteral("3m"));
    if (!small.mounted())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const QString path = small.file(QStringLiteral("full.wmv"));
    WmvWriter w;
    ASSERT_TRUE(w.open(path, settingsOf()));
    cv::Mat noise(480, 640, CV_8UC3);
    int failedAt = -1;
    for (int i = 0; i < 3000 && failedAt < 0; ++i) {
        cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(255));
        if (!w.write(noise))
            failedAt = i;
    }
    ASSERT_GT(failedAt, 0) << "the disk never filled";
    EXPECT_EQ(w.error(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    const long long frames = w.framesWritten();
    EXPECT_FALSE(w.close()); // the recording was cut, and the caller hears it again
    EXPECT_EQ(inspectRecording(path).state, RecordingState::Finished);
    EXPECT_EQ(countDecodedFrames(path), frames);
    EXPECT_NEAR(VideoHeaderReader().readDurationAndTitle(path).seconds, double(frames) / Fps, 0.1);
    std::printf("[ figures ] 3 MiB tmpfs: full at frame %d, file %lld bytes, %lld frames play\n", failedAt,
                static_cast<long long>(QFileInfo(path).size()), frames);
}

TEST(WmvWriterTest, ItCannotOpenWhatCannotBeWritten)
{
    TempDir dir;
    const struct
    {
        const char* what;
        QString path;
        WmvWriterSettings settings;
        QString reasonContains;
    } cases[] = {
        {"missing folder", dir.file(QStringLiteral("gone/a.wmv")), settingsOf(),
         QString::fromLocal8Bit(std::strerror(ENOENT))},
        {"no picture size", dir.file(QStringLiteral("b.wmv")), settingsOf(0, 0),
         QStringLiteral("picture size")},
        {"a full device", QStringLiteral("/dev/full"), settingsOf(),
         QString::fromLocal8Bit(std::strerror(ENOSPC))},
    };
    for (const auto& c : cases) {
        WmvWriter w;
        EXPECT_FALSE(w.open(c.path, c.settings)) << c.what;
        EXPECT_TRUE(w.error().contains(c.reasonContains)) << c.what << ": " << w.error().toStdString();
        EXPECT_FALSE(w.isOpen());
    }
}

TEST(WmvWriterTest, FrameRatesBecomeExactTimeBases)
{
    const struct
    {
        double fps;
        int num, den;
    } cases[] = {{30, 30, 1}, {25, 25, 1}, {29.97, 2997, 100}, {7.5, 75, 10}, {0, 30, 1}};
    for (const auto& c : cases) {
        const FrameRate r = frameRateOf(c.fps);
        EXPECT_EQ(r.num, c.num) << c.fps;
        EXPECT_EQ(r.den, c.den) << c.fps;
    }
}
