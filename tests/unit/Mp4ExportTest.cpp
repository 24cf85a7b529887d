// MP4 export with the real ffmpeg program: the exact argument list, the names, a real conversion
// checked with ffprobe, and failures (unwritable target, broken source, missing program) that
// leave nothing under the target name and keep an existing target intact.

#include "core/manage/Mp4Export.h"
#include "core/media/HeadTrack.h"
#include "core/platform/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QString VideoName = QStringLiteral("0001234520240102030405.wmv"); // patient 12345

// ffprobe's answer for one entry list, "key=value" lines; empty when ffprobe fails.
QString probe(const QString& path, const QStringList& selection)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error")} + selection +
                QStringList{QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString value(const QString& probed, const QString& key)
{
    for (const QString& line : probed.split(u'\n'))
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

// Everything in folder except the given names.
QStringList otherFiles(const QString& folder, const QStringList& known)
{
    QStringList rest;
    const QStringList all =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& f : all)
        if (!known.contains(f))
            rest << f;
    return rest;
}

class Mp4ExportTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        s_source = makeTestWmv(s_dir->file(VideoName), 45, 64, 48, 30);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(s_source.isEmpty()); }

    static TempDir* s_dir;
    static QString s_source;
    TempDir out;
};
TempDir* Mp4ExportTest::s_dir = nullptr;
QString Mp4ExportTest::s_source;

} // namespace

TEST(Mp4ExportNames, ArgumentListIsTheExportCommandLine)
{
    const QString source = QStringLiteral("/data/save folder/%1").arg(VideoName);
    const QString target = QStringLiteral("/home/u/out \"x\".mp4");
    const QStringList expected{"-y",
                               "-i",
                               source,
                               "-map_metadata",
                               "0",
                               "-c:v",
                               "libx264",
                               "-preset",
                               "fast",
                               "-crf",
                               "23",
                               "-c:a",
                               "aac",
                               "-b:a",
                               "128k",
                               "-metadata",
                               "comment=By Tolvek",
                               "-metadata",
                               "copyright=Tolvek",
                               "-metadata:s:v:0",
                               "copyright=Tolvek",
                               "-metadata",
                               "creation_time=2024-01-02T03:04:05",
                               target};
    EXPECT_EQ(ffmpegExportArguments(source, target), expected);

    // A name without the timestamp digits passes no creation time at all.
    const QStringList bare = ffmpegExportArguments(QStringLiteral("/x/clip.wmv"), target);
    EXPECT_FALSE(bare.join(u' ').contains(QStringLiteral("creation_time")));
    EXPECT_EQ(bare.size(), expected.size() - 2);
    EXPECT_EQ(bare.last(), target);
}

TEST(Mp4ExportNames, NamesAndCreationTimes)
{
    struct Case
    {
        QString name;
        bool exportable;
        QString proposed;
        QString created;
    };
    const Case cases[] = {
        {VideoName, true, QStringLiteral("0001234520240102030405.mp4"),
         QStringLiteral("2024-01-02T03:04:05")},
        {QStringLiteral("0001234520240102030405.WMV"), true, QStringLiteral("0001234520240102030405.mp4"),
         QStringLiteral("2024-01-02T03:04:05")},
        {QStringLiteral("9900000020231231235959.wmv"), true, QStringLiteral("9900000020231231235959.mp4"),
         QStringLiteral("2023-12-31T23:59:59")},
        {QStringLiteral("a.wmv.b.WMV"), true, QStringLiteral("a.mp4.b.mp4"), QString()},
        {QStringLiteral("0001234520240102030405.avi"), false, QStringLiteral("0001234520240102030405.avi"),
         QStringLiteral("2024-01-02T03:04:05")},
        {QStringLiteral("0001234520240102030405.Wmv"), false, QStringLiteral("0001234520240102030405.Wmv"),
         QStringLiteral("2024-01-02T03:04:05")},
        {QStringLiteral("00012345202401020304x5.wmv"), true, QStringLiteral("00012345202401020304x5.mp4"),
         QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(isExportableVideoName(c.name), c.exportable);
        EXPECT_EQ(proposedMp4Name(c.name), c.proposed);
        EXPECT_EQ(mp4CreationTime(QStringLiteral("C:\\save\\") + c.name), c.created);
        EXPECT_EQ(mp4CreationTime(QStringLiteral("/save/") + c.name), c.created);
    }
}

TEST_F(Mp4ExportTest, ExportWritesPlayableMp4WithTags)
{
    const QString target = out.file(QStringLiteral("export.mp4"));
    const Mp4ExportResult r = runMp4Export({s_source, target, QStringLiteral("ffmpeg")});
    ASSERT_EQ(r.status, Mp4ExportStatus::Completed) << r.detail.toStdString();
    EXPECT_EQ(r.targetPath, target);

    const QString stream = probe(target, {"-select_streams", "v:0", "-count_frames", "-show_entries",
                                          "stream=codec_name,nb_read_frames"});
    EXPECT_EQ(value(stream, QStringLiteral("codec_name")), QStringLiteral("h264"));
    const int sourceFrames = countDecodedFrames(s_source);
    ASSERT_GT(sourceFrames, 0);
    EXPECT_NEAR(value(stream, QStringLiteral("nb_read_frames")).toInt(), sourceFrames, 2);

    const QString tags = probe(target, {"-show_entries", "format_tags=comment,copyright,creation_time"});
    EXPECT_EQ(value(tags, QStringLiteral("TAG:comment")), QStringLiteral("By Tolvek"));
    EXPECT_EQ(value(tags, QStringLiteral("TAG:copyright")), QStringLiteral("Tolvek"));
    EXPECT_TRUE(
        value(tags, QStringLiteral("TAG:creation_time")).startsWith(QStringLiteral("2024-01-02T03:04:05")))
        << tags.toStdString();
    // No temporary file is left beside it.
    EXPECT_EQ(otherFiles(out.path(), {QStringLiteral("export.mp4")}), QStringList());
}

TEST_F(Mp4ExportTest, ExportReplacesAnExistingTargetOnlyWhenAgreed)
{
    ASSERT_TRUE(out.write(QStringLiteral("old.mp4"), "old bytes"));
    const QString target = out.file(QStringLiteral("old.mp4"));
    // Nobody agreed: the file found under the name is kept.
    const Mp4ExportResult kept = runMp4Export({s_source, target, QStringLiteral("ffmpeg")});
    EXPECT_EQ(kept.status, Mp4ExportStatus::Failed);
    EXPECT_EQ(out.read(QStringLiteral("old.mp4")), QByteArray("old bytes"));
    EXPECT_EQ(otherFiles(out.path(), {QStringLiteral("old.mp4")}), QStringList());

    ASSERT_EQ(runMp4Export({s_source, target, QStringLiteral("ffmpeg"), true}).status,
              Mp4ExportStatus::Completed);
    EXPECT_EQ(value(probe(target, {"-select_streams", "v:0", "-show_entries", "stream=codec_name"}),
                    QStringLiteral("codec_name")),
              QStringLiteral("h264"));
}

TEST_F(Mp4ExportTest, FailuresLeaveNothingUnderTheTargetName)
{
    ASSERT_TRUE(out.write(QStringLiteral("not a folder"), "x"));
    ASSERT_TRUE(out.write(QStringLiteral("broken.wmv"), QByteArray(4096, 'z')));
    ASSERT_TRUE(out.write(QStringLiteral("kept.mp4"), "earlier export"));
    struct Case
    {
        const char* what;
        QString source;
        QString target;
        Mp4ExportStatus status;
    };
    const Case cases[] = {
        {"missing folder", s_source, out.file(QStringLiteral("no such folder/a.mp4")),
         Mp4ExportStatus::Failed},
        {"folder is a file", s_source, out.file(QStringLiteral("not a folder/a.mp4")),
         Mp4ExportStatus::Failed},
        {"read-only file system", s_source, QStringLiteral("/proc/tolvek-export.mp4"),
         Mp4ExportStatus::Failed},
        {"source not a video", out.file(QStringLiteral("broken.wmv")), out.file(QStringLiteral("b.mp4")),
         Mp4ExportStatus::Failed},
        {"source missing", out.file(QStringLiteral("gone.wmv")), out.file(QStringLiteral("g.mp4")),
         Mp4ExportStatus::Failed},
        {"broken source over an existing target", out.file(QStringLiteral("broken.wmv")),
         out.file(QStringLiteral("kept.mp4")), Mp4ExportStatus::Failed},
        {"ffmpeg missing", s_source, out.file(QStringLiteral("m.mp4")), Mp4ExportStatus::StartFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString program = c.status == Mp4ExportStatus::StartFailed
                                    ? out.file(QStringLiteral("no-ffmpeg"))
                                    : QStringLiteral("ffmpeg");
        const Mp4ExportResult r = runMp4Export({c.source, c.target, program});
        EXPECT_EQ(r.status, c.status);
        EXPECT_FALSE(r.detail.isEmpty());
        if (!c.target.endsWith(QStringLiteral("kept.mp4"))) {
            EXPECT_FALSE(QFile::exists(c.target));
        }
    }
    EXPECT_EQ(out.read(QStringLiteral("kept.mp4")), QByteArray("earlier export"));
    EXPECT_EQ(otherFiles(out.path(), {"not a folder", "broken.wmv", "kept.mp4"}), QStringList());
}

TEST_F(Mp4ExportTest, WorkerReportsInItsOwnersThreadAndUsesTheSetProgram)
{
    const QString target = out.file(QStringLiteral("w.mp4"));

    platform::ExternalTools tools;
    tools.setFfmpeg(out.file(QStringLiteral("no-ffmpeg")));
    EXPECT_EQ(tools.ffmpeg(), out.file(QStringLiteral("no-ffmpeg")));
    Mp4ExportJob missing{s_source, target, tools.ffmpeg()};
    tools.setFfmpeg(QString());
    EXPECT_EQ(tools.ffmpeg(), QStringLiteral("ffmpeg"));

    for (const Mp4ExportJob& job : {missing, Mp4ExportJob{s_source, target, tools.ffmpeg()}}) {
        Mp4ExportWorker worker(job);
        std::optional<Mp4ExportResult> result;
        QThread* reportedIn = nullptr;
        QObject::connect(&worker, &Mp4ExportWorker::finished, [&](const Mp4ExportResult& r) {
            result = r;
            reportedIn = QThread::currentThread();
        });
        worker.start();
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
        EXPECT_EQ(reportedIn, QCoreApplication::instance()->thread());
        EXPECT_EQ(result->status, job.program == QStringLiteral("ffmpeg") ? Mp4ExportStatus::Completed
                                                                          : Mp4ExportStatus::StartFailed);
    }
    EXPECT_TRUE(QFile::exists(target));
}

TEST_F(Mp4ExportTest, DestroyingARunningWorkerCancelsWithoutAFile)
{
    // A long source so ffmpeg is still working when the worker goes away.
    const QString longSource =
        makeFfmpegWmv(out.file(QStringLiteral("long.wmv")), 1500, QString(), 320, 240, 30);
    ASSERT_FALSE(longSource.isEmpty());
    const QString target = out.file(QStringLiteral("cancelled.mp4"));
    {
        Mp4ExportWorker worker({longSource, target, QStringLiteral("ffmpeg")});
        worker.start();
    }
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(otherFiles(out.path(), {QStringLiteral("long.wmv")}), QStringList());
}

TEST_F(Mp4ExportTest, AStoppedExportEndsWithinTheStopBoundAndLeavesNoFile)
{
    // Long enough that ffmpeg is still converting when the stop comes.
    const QString longSource =
        makeFfmpegWmv(out.file(QStringLiteral("long.wmv")), 1500, QString(), 320, 240, 30);
    ASSERT_FALSE(longSource.isEmpty());
    // A program that never reads its input, so the stop key does not reach it.
    const QString started = out.file(QStringLiteral("deaf-started"));
    ASSERT_TRUE(out.write(QStringLiteral("deaf.sh"),
                          "#!/bin/sh\ntouch '" + QFile::encodeName(started) + "'\nexec sleep 60\n"));
    ASSERT_TRUE(QFile::setPermissions(out.file(QStringLiteral("deaf.sh")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QStringList known{QStringLiteral("long.wmv"), QStringLiteral("deaf.sh"),
                            QStringLiteral("deaf-started")};
    using platform::ChildProcess;
    struct Case
    {
        const char* what;
        QString program;
        qint64 atLeastMs; // how long the stop may take at the least and at the most
        qint64 atMostMs;
    };
    const Case cases[] = {
        // ffmpeg takes "q", finishes its file and exits: well before it would be killed.
        {"ffmpeg ends at the stop key", QStringLiteral("ffmpeg"), 0, ChildProcess::StopGraceMs},
        {"a program deaf to the stop key is killed", out.file(QStringLiteral("deaf.sh")),
         ChildProcess::StopGraceMs, ChildProcess::StopGraceMs + ChildProcess::KillWaitMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString target = out.file(QStringLiteral("stopped.mp4"));
        const QString working = mp4WorkingPath(target);
        auto worker = std::make_unique<Mp4ExportWorker>(Mp4ExportJob{longSource, target, c.program});
        worker->start();
        // The program runs: ffmpeg has begun to write, the deaf one has said so.
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(working).size() > 0 || QFile::exists(started); },
                              std::chrono::seconds(60)));
        QElapsedTimer stopping;
        stopping.start();
        worker.reset();
        const qint64 tookMs = stopping.elapsed();
        EXPECT_GE(tookMs, c.atLeastMs);
        EXPECT_LT(tookMs, c.atMostMs);
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_FALSE(QFile::exists(working));
        EXPECT_EQ(otherFiles(out.path(), known), QStringList());
    }
}

TEST_F(Mp4ExportTest, TheHeadDataIsCopiedBesideTheMp4UnderItsName)
{
    TempDir in;
    const QString source = makeTestWmv(in.file(VideoName), 45, 64, 48, 30);
    ASSERT_FALSE(source.isEmpty());
    const QByteArray head = writeTestHeadData(source, 45);
    ASSERT_FALSE(head.isEmpty());

    Mp4ExportResult r =
        runMp4Export({source, out.file(QStringLiteral("exam.mp4")), QStringLiteral("ffmpeg")});
    ASSERT_EQ(r.status, Mp4ExportStatus::Completed) << r.detail.toStdString();
    EXPECT_TRUE(r.headDataProblem.isEmpty()) << r.headDataProblem.toStdString();
    EXPECT_EQ(out.read(QStringLiteral("exam.head.csv")), head);
    EXPECT_EQ(otherFiles(out.path(), {QStringLiteral("exam.mp4"), QStringLiteral("exam.head.csv")}),
              QStringList());

    // Replacing an MP4 replaces its head data; otherwise head data found at the name is kept and
    // the export still completes.
    ASSERT_TRUE(out.write(QStringLiteral("old.mp4"), "old bytes"));
    ASSERT_TRUE(out.write(QStringLiteral("old.head.csv"), "old head"));
    ASSERT_TRUE(out.write(QStringLiteral("kept.head.csv"), "kept head"));
    r = runMp4Export({source, out.file(QStringLiteral("old.mp4")), QStringLiteral("ffmpeg"), true});
    ASSERT_EQ(r.status, Mp4ExportStatus::Completed) << r.detail.toStdString();
    EXPECT_EQ(out.read(QStringLiteral("old.head.csv")), head);
    r = runMp4Export({source, out.file(QStringLiteral("kept.mp4")), QStringLiteral("ffmpeg")});
    ASSERT_EQ(r.status, Mp4ExportStatus::Completed) << r.detail.toStdString();
    EXPECT_FALSE(r.headDataProblem.isEmpty());
    EXPECT_EQ(out.read(QStringLiteral("kept.head.csv")), QByteArray("kept head"));

    // Exported beside its video under the same name: the head data is already there.
    r = runMp4Export(
        {source, in.file(QStringLiteral("0001234520240102030405.mp4")), QStringLiteral("ffmpeg")});
    ASSERT_EQ(r.status, Mp4ExportStatus::Completed) << r.detail.toStdString();
    EXPECT_TRUE(r.headDataProblem.isEmpty());
    EXPECT_EQ(in.read(QStringLiteral("0001234520240102030405.head.csv")), head);
}
