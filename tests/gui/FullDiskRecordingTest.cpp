// A recording whose save folder runs out of room or goes away, through the real program: the main
// window with its recording control, the capture thread with the simulated camera ("sim") and
// the program's WMV writer, on a small tmpfs of its own. The guard must stop the recording while
// the file can still be finished, tell the user, and leave a playable file and every other file as
// it was; where the guard is blind, the writer itself stops at the first write that finds no room. Mounting
// needs root; where it is refused the tmpfs cases are skipped with a message.

#include "core/capture/CameraDevices.h"
#include "core/capture/DiskSpaceGuard.h"
#include "core/capture/FrameSource.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

#include <gtest/gtest.h>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

using namespace tolvek;
using namespace tolvek::test;
using namespace std::chrono_literals;

namespace {

constexpr qint64 MiB = 1024 * 1024;

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// What the file left behind looks like to the two readers the program and a user rely on.
struct Playability
{
    int decoded = -1;     // frames OpenCV decodes by reading to the end
    int counted = -1;     // the frame count OpenCV takes from the header
    bool probeOk = false; // ffprobe reads it without an error and finds the WMV2 stream
    QString probeText;
};

Playability playability(const QString& path)
{
    Playability p;
    p.decoded = countDecodedFrames(path);
    {
        cv::VideoCapture cap(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG);
        if (cap.isOpened())
            p.counted = int(cap.get(cv::CAP_PROP_FRAME_COUNT));
    }
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-select_streams", "v:0", "-show_entries",
                 "stream=codec_name:format=format_name", "-of", "default=noprint_wrappers=1", path});
    if (probe.waitForFinished(60000)) {
        p.probeText = QString::fromUtf8(probe.readAll());
        p.probeOk = probe.exitCode() == 0 && p.probeText.contains(QStringLiteral("codec_name=wmv2")) &&
                    p.probeText.contains(QStringLiteral("format_name=asf")) &&
                    !p.probeText.contains(QStringLiteral("rror"));
    }
    return p;
}

class FullDiskRecordingTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        if (!mountPoint.isEmpty())
            run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
    }

    // A tmpfs of `size` bytes as the save folder; false (with the reason in `skipReason`) when
    // mounting is refused.
    bool mountSaveFolder(qint64 size)
    {
        const QString point = dir.file(QStringLiteral("small"));
        if (!QDir().mkpath(point))
            return false;
        if (!run(QStringLiteral("mount"),
                 {"-t", "tmpfs", "-o", QStringLiteral("size=%1").arg(size), "tmpfs", point})) {
            skipReason =
                "mounting a tmpfs is not permitted here (needs root); the guard itself is covered with an "
                "injected free-space probe by RecordingControlTest";
            return false;
        }
        mountPoint = point;
        useSaveFolder(point);
        return true;
    }

    void useSaveFolder(const QString& folder)
    {
        saveFolder = folder;
        appSettings().setValue(SaveFolder, folder);
    }

    qint64 freeBytes() const { return DiskSpaceGuard::availableBytes(saveFolder); }

    // Starts the program with the simulated camera and the recording for `id`, and waits until
    // its file is open.
    void startRecording(int id, std::function<qint64(const QString&)> freeSpaceProbe = {})
    {
        prompts.patientIds.push_back(id);
        prompts.beforeKeypadAnswer = [this] {
            waitUntil([this] { return w && w->flags().cameraOpened.load(); });
        };
        MainWindowServices services = simulatedCameraServices();
        services.recording.freeBytes = std::move(freeSpaceProbe);
        showWindow(std::move(services));
        ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
        ASSERT_EQ(w->windowMode(), ModeRecording);
        ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
        fileName = w->recordingControl().openedFileName();
    }

    std::unique_ptr<CTolvek2Dlg>& w = window;
    QString mountPoint;
    QString saveFolder;
    QString fileName;
    const char* skipReason = "";
};

} // namespace

TEST_F(FullDiskRecordingTest, LowSpaceStopsTheRecordingWithAPlayableFileAndNothingElseLost)
{
    if (!mountSaveFolder(DiskSpaceGuard::MinimumFreeBytes + 16 * MiB))
        GTEST_SKIP() << skipReason;
    // An earlier recording of the same day, and the rest of the disk taken by other data, so that
    // the new recording crosses the guard's line after a few seconds.
    const QString earlier =
        makeTestWmv(QDir(saveFolder).filePath(QStringLiteral("0000004220240101090000.wmv")), 60, 640, 480);
    ASSERT_FALSE(earlier.isEmpty());
    ASSERT_EQ(writeCopyrightTag(earlier), TagWriteResult::Written);
    const QByteArray earlierDigest = digestOf(earlier);
    const QString filler = QDir(saveFolder).filePath(QStringLiteral("other-data.bin"));
    constexpr qint64 Headroom = 384 * 1024; // what the recording may write before the guard's line
    {
        QFile f(filler);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const qint64 size = freeBytes() - DiskSpaceGuard::MinimumFreeBytes - Headroom;
        ASSERT_GT(size, 0);
        const QByteArray block(int(MiB), '\x5a');
        for (qint64 left = size; left > 0; left -= block.size())
            ASSERT_EQ(f.write(block.constData(), std::min<qint64>(left, block.size())),
                      std::min<qint64>(left, block.size()));
    }
    const QByteArray fillerDigest = digestOf(filler);
    const qint64 freeAtStart = freeBytes();

    startRecording(42);
    // Watch the room left while the recording runs; the guard must act before it is gone.
    qint64 lowest = freeAtStart;
    ASSERT_TRUE(waitUntil(
        [&] {
            lowest = std::min(lowest, freeBytes());
            return w->windowMode() == ModeLibrary;
        },
        120s))
        << "the recording was never stopped; " << freeBytes() << " bytes left";
    const qint64 freeAtStop = freeBytes();

    // Stopped by the guard, and the user was told why.
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(
        prompts.messages.last().startsWith(QStringLiteral("The disk of the save folder is almost full (")))
        << prompts.messages.last().toStdString();
    EXPECT_TRUE(prompts.messages.last().endsWith(QStringLiteral("The recording was stopped and kept.")));
    EXPECT_EQ(w->closeAllowed(), 1);
    EXPECT_FALSE(w->flags().recording);
    // Shown once the capture thread has closed the file.
    EXPECT_TRUE(waitUntil([this] { return w->state().playbackVideoName == fileName; }))
        << w->state().playbackVideoName.toStdString() << " instead of " << fileName.toStdString();

    // The file is finished and playable, its header agrees with its frames, it carries the mark.
    const QString path = makeSavePath(saveFolder, fileName);
    const Playability p = playability(path);
    EXPECT_GT(p.decoded, 0);
    EXPECT_EQ(p.counted, p.decoded);
    EXPECT_TRUE(p.probeOk) << p.probeText.toStdString();
    QFile recorded(path);
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    EXPECT_TRUE(recorded.read(8192).contains(QByteArray("T\0o\0l\0v\0e\0k\0", 12)));

    // Nothing else lost: the earlier recording and the other data are as they were, and no
    // temporary copy is left over; beside the recording lies its head data.
    EXPECT_EQ(digestOf(earlier), earlierDigest);
    EXPECT_EQ(digestOf(filler), fillerDigest);
    EXPECT_EQ(QDir(saveFolder).entryList(QDir::Files | QDir::Hidden).size(), 4)
        << QDir(saveFolder).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
    EXPECT_EQ(media::readHeadTrack(path).status, media::HeadTrackRead::Status::Ok);
    EXPECT_GE(lowest, 0);

    std::printf("[ figures ] full disk: %lld bytes free at the start, %lld at the stop, lowest seen %lld "
                "(guard line %lld)\n",
                static_cast<long long>(freeAtStart), static_cast<long long>(freeAtStop),
                static_cast<long long>(lowest), static_cast<long long>(DiskSpaceGuard::MinimumFreeBytes));
    std::printf(
        "[ figures ] full disk: recording of %lld bytes, %d frames decoded, %d in the header, ffprobe %s\n",
        static_cast<long long>(QFileInfo(path).size()), p.decoded, p.counted, p.probeOk ? "ok" : "failed");
}

// The guard blind (its free-space probe always says there is room, as on a network share that
// reports wrong figures): the writer meets the full disk itself. The recording stops at that
// frame with the system's reason shown, and the file is finished and plays to there.
TEST_F(FullDiskRecordingTest, AFullDiskTheGuardMissesStopsTheRecordingAtTheFirstFailedWrite)
{
    if (!mountSaveFolder(12 * MiB))
        GTEST_SKIP() << skipReason;
    const QString filler = QDir(saveFolder).filePath(QStringLiteral("other-data.bin"));
    {
        QFile f(filler);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.write(QByteArray(int(9 * MiB), '\x5a')) == 9 * MiB);
    }
    const QByteArray fillerDigest = digestOf(filler);

    startRecording(43, [](const QString&) { return qint64(1) << 40; });
    ASSERT_TRUE(waitUntil([&] { return w->windowMode() == ModeLibrary; }, 120s))
        << "the recording was never stopped";
    ASSERT_TRUE(waitUntil([this] { return w->state().playbackVideoName == fileName; }));
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral("The recording %1 could not be written further (%2).\r\n"
                             "The recording was stopped; what was recorded up to then is kept.")
                  .arg(fileName, QString::fromLocal8Bit(std::strerror(ENOSPC))));
    EXPECT_FALSE(w->flags().recording);
    EXPECT_EQ(w->closeAllowed(), 1);

    const QString path = makeSavePath(saveFolder, fileName);
    const Playability p = playability(path);
    EXPECT_GT(p.decoded, 0);
    EXPECT_EQ(p.counted, p.decoded);
    EXPECT_TRUE(p.probeOk) << p.probeText.toStdString();
    EXPECT_EQ(copyrightOf(path), QStringLiteral("Tolvek"));
    EXPECT_EQ(digestOf(filler), fillerDigest);
    // The head data met the full disk too: what reached it reads, at most its last row cut.
    EXPECT_EQ(QDir(saveFolder).entryList(QDir::Files | QDir::Hidden).size(), 3)
        << QDir(saveFolder).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
    EXPECT_EQ(media::readHeadTrack(path).status, media::HeadTrackRead::Status::Ok);
    std::printf("[ figures ] full disk met by the writer: recording of %lld bytes, %d frames play\n",
                static_cast<long long>(QFileInfo(path).size()), p.decoded);
}

// The save folder goes away under a running recording: renamed away (the path is gone), or its
// disk taken away (a lazy unmount: the path is an empty folder of another disk again). Either
// way the recording stops with the folder message, nothing crashes and no phantom is listed.
TEST_F(FullDiskRecordingTest, VanishingSaveFolderStopsTheRecording)
{
    enum How { Renamed, Unmounted };
    for (How how : {Renamed, Unmounted}) {
        SCOPED_TRACE(how == Renamed ? "renamed" : "unmounted");
        w.reset();
        prompts.messages.clear();
        prompts.keypadRuns = 0;
        if (how == Renamed) {
            const QString folder = dir.file(QStringLiteral("videos"));
            ASSERT_TRUE(QDir().mkpath(folder));
            useSaveFolder(folder);
        } else if (!mountSaveFolder(DiskSpaceGuard::MinimumFreeBytes + 16 * MiB)) {
            std::printf("[  SKIPPED ] the unmounted case: %s\n", skipReason);
            continue;
        }
        startRecording(77);
        ASSERT_TRUE(waitUntil([this] { return w->flags().recordingElapsedMs >= 1000; }));

        const QString movedTo = saveFolder + QStringLiteral(".moved");
        if (how == Renamed)
            ASSERT_TRUE(QDir().rename(saveFolder, movedTo));
        else
            ASSERT_TRUE(run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint}));
        ASSERT_TRUE(waitUntil([this] { return w->windowMode() == ModeLibrary; }, 30s))
            << "the recording was not stopped";

        ASSERT_FALSE(prompts.messages.isEmpty());
        EXPECT_EQ(prompts.messages.last(),
                  QStringLiteral("The save folder %1 is no longer available.\r\nThe recording was stopped.")
                      .arg(saveFolder));
        EXPECT_EQ(w->closeAllowed(), 1);
        EXPECT_FALSE(w->flags().recording);
        // The vanished file is not shown or listed as if it were there.
        EXPECT_NE(w->state().playbackVideoName.toStdString(), fileName.toStdString());
        if (how == Renamed) {
            // The writer kept its file open under the new name and finishes it there; the stop
            // does not wait for the capture thread, so the file's header is final a moment later.
            Playability p;
            EXPECT_TRUE(waitUntil([&] {
                p = playability(QDir(movedTo).filePath(fileName));
                return p.decoded > 0 && p.counted == p.decoded;
            }));
            EXPECT_GT(p.decoded, 0);
            EXPECT_EQ(p.counted, p.decoded);
            EXPECT_TRUE(p.probeOk) << p.probeText.toStdString();
        } else {
            mountPoint.clear(); // already gone
        }
    }
}
