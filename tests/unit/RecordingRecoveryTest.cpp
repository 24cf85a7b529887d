// Recordings cut off by SIGKILL of the real recorder, found by the library scan and repaired by
// the real ffmpeg program; files that must be left alone keep every byte.

#include "core/library/RecordingRecovery.h"
#include "core/library/ScanSaveFolder.h"
#include "core/media/AsfHeader.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/platform/Trash.h"
#include "core/settings/VideoFileName.h"
#include "support/KilledRecorder.h"
#include "support/ScopedLanguage.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <optional>

#include <gtest/gtest.h>
#include <opencv2/videoio.hpp>

using namespace tolvek;
using namespace tolvek::test;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int headerFrameCount(const QString& path)
{
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    return cap.isOpened() ? int(cap.get(cv::CAP_PROP_FRAME_COUNT)) : -1;
}

} // namespace

// The folder name carries a comma, a colon and an option-like part: none may reach ffmpeg as
// anything but a path.
TEST(RecordingRecoveryTest, KilledRecordingIsRepairedInPlaceKeepingNameAndMemo)
{
    TempDir dir;
    const QString folder = dir.path() + QStringLiteral("/a,b:c -i x");
    ASSERT_TRUE(QDir().mkpath(folder));
    const KilledRecording killed = recordAndKill(folder, 3000);
    ASSERT_TRUE(killed.ok());
    const QString name = QFileInfo(killed.path).fileName();

    const RecordingInspection before = inspectRecording(killed.path);
    ASSERT_EQ(before.state, RecordingState::Unfinished);
    EXPECT_LE(before.completeEnd, before.fileSize);
    EXPECT_EQ(headerFrameCount(killed.path), 0); // what a player sees without the repair

    VideoLibrary library;
    ScanOutcome scan = scanSaveFolder(folder, library);
    EXPECT_EQ(scan.filesWithoutLength, QStringList{name});
    // A memo given to the unfinished file before the repair must survive it.
    ASSERT_EQ(writeVideoTags(killed.path, QStringLiteral("vertigo, right")), TagWriteResult::Written);
    const QByteArray cut = bytesOf(killed.path);
    // The head data the killed recorder left: its header and whole rows up to its last flush
    // (none when it was killed within its first second), frames from 0 on.
    const QByteArray head = bytesOf(media::headTrackPath(killed.path));
    const media::HeadTrackRead rows = media::parseHeadTrack(head);
    EXPECT_EQ(rows.status, media::HeadTrackRead::Status::Ok) << rows.problem.toStdString();
    for (std::size_t i = 0; i < rows.rows.size(); ++i)
        EXPECT_EQ(rows.rows[i].frame, qint64(i));

    ASSERT_EQ(repairRecording(killed.path), RepairResult::Repaired);
    // The cut original is kept in the trash.
    EXPECT_EQ(bytesOf(platform::homeTrashFolder() + QStringLiteral("/files/") + name), cut);
    EXPECT_EQ(inspectRecording(killed.path).state, RecordingState::Finished);
    const int decoded = countDecodedFrames(killed.path);
    EXPECT_GT(decoded, 30);
    EXPECT_EQ(headerFrameCount(killed.path), decoded);
    VideoHeaderReader reader;
    const VideoHeaderInfo info = reader.readDurationAndTitle(killed.path);
    EXPECT_EQ(info.memo, QStringLiteral("vertigo, right"));
    EXPECT_NEAR(info.seconds, decoded / 30.0, 0.1);
    EXPECT_EQ(copyrightOf(killed.path), QStringLiteral("Tolvek"));
    // The head data stays beside the repaired video as it was.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{headDataFileName(name), name}));
    EXPECT_EQ(bytesOf(media::headTrackPath(killed.path)), head);

    scan = scanSaveFolder(folder, library);
    EXPECT_TRUE(scan.filesWithoutLength.isEmpty());
    EXPECT_TRUE(scan.unreadableFiles.isEmpty());
    ASSERT_EQ(library.size(), 1u);
    EXPECT_NE(library[0].lengthText, QStringLiteral("01s"));
    EXPECT_EQ(repairRecording(killed.path), RepairResult::NotNeeded);
}

// A repair is taken only when the repaired file reads back every packet of the original, and only
// once the original is safe in the trash; otherwise the original keeps every byte and nothing else
// is left behind.
TEST(RecordingRecoveryTest, ARepairThatFallsShortOrCannotKeepTheOriginalChangesNothing)
{
    TempDir dir;
    const QString folder = dir.file(QStringLiteral("videos"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const KilledRecording killed = recordAndKill(folder, 2000);
    ASSERT_TRUE(killed.ok());
    const QString name = QFileInfo(killed.path).fileName();
    const QByteArray cut = bytesOf(killed.path);
    ASSERT_GT(countDecodedFrames(killed.path), 20);

    // Runs the real ffmpeg, which writes a finished header, but copies only the first ten frames.
    const QString shortCopy = dir.file(QStringLiteral("short-ffmpeg"));
    ASSERT_TRUE(dir.write(QStringLiteral("short-ffmpeg"),
                          "#!/bin/bash\nexec ffmpeg \"${@:1:$#-1}\" -frames:v 10 \"${@: -1}\"\n"));
    ASSERT_TRUE(QFile::setPermissions(shortCopy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ASSERT_TRUE(dir.write(QStringLiteral("not a folder"), "x"));
    const QByteArray xdgBefore = qgetenv("XDG_DATA_HOME");

    struct Case
    {
        const char* what;
        QString ffmpeg;
        QString dataHome; // where the trash is looked for
    };
    const Case cases[] = {
        {"the repaired file holds ten frames", shortCopy, dir.file(QStringLiteral("data"))},
        {"the trash cannot be made", QStringLiteral("ffmpeg"),
         dir.file(QStringLiteral("not a folder/share"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qputenv("XDG_DATA_HOME", QFile::encodeName(c.dataHome));
        EXPECT_EQ(repairRecording(killed.path, c.ffmpeg), RepairResult::Failed);
        EXPECT_EQ(bytesOf(killed.path), cut);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{headDataFileName(name), name}));
        EXPECT_FALSE(QFileInfo::exists(c.dataHome + QStringLiteral("/Trash/files/") + name));
    }
    qputenv("XDG_DATA_HOME", xdgBefore);

    // The same recording, with the real ffmpeg and a trash: repaired.
    EXPECT_EQ(repairRecording(killed.path), RepairResult::Repaired);
    EXPECT_EQ(bytesOf(platform::homeTrashFolder() + QStringLiteral("/files/") + name), cut);
}

TEST(RecordingRecoveryTest, FilesWithNothingToRepairAreLeftAsTheyAre)
{
    TempDir dir;
    const KilledRecording killed = recordAndKill(dir.path(), 2000);
    ASSERT_TRUE(killed.ok());
    const QByteArray cut = bytesOf(killed.path);
    QFile header(killed.path);
    QByteArray headerBytes;
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    ASSERT_EQ(readAsfHeader(header, headerBytes), AsfLoad::Ok);
    header.close();

    const QString finished = makeTestWmv(dir.file(QStringLiteral("finished.wmv")), 20);
    ASSERT_FALSE(finished.isEmpty());
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char(i * 7 + 3);
    struct Case
    {
        const char* what;
        QByteArray bytes; // empty: the file is not created
        RecordingState state;
        RepairResult repair;
    } cases[] = {
        {"0 bytes", QByteArray(""), RecordingState::Empty, RepairResult::NothingToKeep},
        {"header and data start only", cut.left(headerBytes.size() + 50), RecordingState::Empty,
         RepairResult::NothingToKeep},
        {"header cut short", cut.left(headerBytes.size() / 2), RecordingState::Unreadable,
         RepairResult::NotReadable},
        {"not ASF", garbage, RecordingState::Unreadable, RepairResult::NotReadable},
        {"finished", bytesOf(finished), RecordingState::Finished, RepairResult::NotNeeded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.file(QStringLiteral("case.wmv"));
        QFile::remove(path);
        ASSERT_TRUE(dir.write(QStringLiteral("case.wmv"), c.bytes));
        EXPECT_EQ(inspectRecording(path).state, c.state);
        EXPECT_EQ(repairRecording(path), c.repair);
        EXPECT_EQ(bytesOf(path), c.bytes);
        EXPECT_FALSE(QFile::exists(repairTempPath(path)));
    }
    EXPECT_EQ(inspectRecording(dir.file(QStringLiteral("missing.wmv"))).state, RecordingState::Unreadable);

    // ffmpeg missing or failing: the unfinished file keeps its bytes and no temporary is left.
    for (const QString& program : {QStringLiteral("/nonexistent/ffmpeg"), QStringLiteral("false")}) {
        SCOPED_TRACE(program.toStdString());
        EXPECT_EQ(repairRecording(killed.path, program), RepairResult::Failed);
        EXPECT_EQ(bytesOf(killed.path), cut);
        EXPECT_FALSE(QFile::exists(repairTempPath(killed.path)));
    }
}

TEST(RecordingRecoveryTest, BackgroundPassReportsRepairsAndEmptyFilesToTheCallersThread)
{
    const test::ScopedLanguage english(English); // the report is read in English
    TempDir dir;
    KilledRecording first = recordAndKill(dir.path(), 2000, 640, 480, 1);
    ASSERT_TRUE(first.ok());
    // Both recordings may start within one second and so get one name: move the first aside.
    const QString firstPath = dir.file(QStringLiteral("1234567820240102150000.wmv"));
    ASSERT_TRUE(QFile::rename(first.path, firstPath));
    first.path = firstPath;
    const KilledRecording busy = recordAndKill(dir.path(), 2000, 640, 480, 2);
    ASSERT_TRUE(busy.ok());
    const QByteArray busyBytes = bytesOf(busy.path);
    const QString emptyName = QStringLiteral("1234567820240102153048.wmv");
    ASSERT_TRUE(dir.write(emptyName, QByteArray("")));

    VideoLibrary library;
    const ScanOutcome scan = scanSaveFolder(dir.path(), library);
    EXPECT_EQ(scan.emptyFiles, QStringList{emptyName});
    EXPECT_EQ(library.size(), 3u); // the empty file is listed, so that it can be deleted
    const QString firstName = QFileInfo(first.path).fileName();
    const QString busyName = QFileInfo(busy.path).fileName();

    RecordingRecovery recovery;
    std::optional<RecoveryReport> report;
    Qt::HANDLE deliveredOn = nullptr;
    QObject::connect(&recovery, &RecordingRecovery::finished, QCoreApplication::instance(),
                     [&](const RecoveryReport& r) {
                         report = r;
                         deliveredOn = QThread::currentThreadId();
                     });
    // The file being recorded now is passed as skip and must not be touched.
    ASSERT_TRUE(recovery.start(dir.path(), scan.filesWithoutLength + scan.emptyFiles, {busyName}));
    ASSERT_TRUE(waitUntil([&] { return report.has_value(); }, std::chrono::seconds(120)));
    EXPECT_EQ(deliveredOn, QThread::currentThreadId());
    EXPECT_EQ(report->repaired, QStringList{firstName});
    EXPECT_EQ(report->emptyFiles, QStringList{emptyName});
    EXPECT_TRUE(report->failed.isEmpty());
    EXPECT_EQ(bytesOf(busy.path), busyBytes);
    EXPECT_EQ(inspectRecording(first.path).state, RecordingState::Finished);
    EXPECT_EQ(recoveryMessage(*report),
              QStringLiteral(
                  "1 recording(s) interrupted by a crash were repaired:\r\n%1\r\n\r\n"
                  "1 file(s) left empty by a crash hold no video and can be deleted from the list:\r\n%2")
                  .arg(firstName, emptyName));
    EXPECT_TRUE(recoveryMessage({}).isEmpty());
}

// The pass runs the ffmpeg of the tools it was given, read when the pass starts: here a wrapper
// that notes each start before it hands over to the real ffmpeg.
TEST(RecordingRecoveryTest, ABackgroundPassRunsTheInjectedFfmpeg)
{
    TempDir dir;
    const KilledRecording killed = recordAndKill(dir.path(), 1000, 160, 120);
    ASSERT_TRUE(killed.ok());
    const QString name = QFileInfo(killed.path).fileName();
    const QString log = dir.file(QStringLiteral("started.log"));
    ASSERT_TRUE(
        dir.write(QStringLiteral("noting-ffmpeg"),
                  "#!/bin/sh\necho started >> '" + QFile::encodeName(log) + "'\nexec ffmpeg \"$@\"\n"));
    ASSERT_TRUE(QFile::setPermissions(dir.file(QStringLiteral("noting-ffmpeg")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    platform::ExternalTools tools;
    RecordingRecovery recovery(&tools);
    std::optional<RecoveryReport> report;
    QObject::connect(&recovery, &RecordingRecovery::finished, QCoreApplication::instance(),
                     [&](const RecoveryReport& r) { report = r; });
    tools.setFfmpeg(dir.file(QStringLiteral("noting-ffmpeg")));
    ASSERT_TRUE(recovery.start(dir.path(), {name}));
    ASSERT_TRUE(waitUntil([&] { return report.has_value(); }, std::chrono::seconds(120)));
    EXPECT_EQ(report->repaired, QStringList{name});
    EXPECT_EQ(dir.read(QStringLiteral("started.log")), QByteArray("started\n"));
}
