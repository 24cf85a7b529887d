// Every working file the program writes before renaming it into place (backup, trim, tag writer,
// repair of a cut-off recording, MP4 export), run for real with something planted at its name: a
// link to a file elsewhere must leave that file untouched, a dangling link must not create its
// target, and a leftover of an interrupted run of our own is replaced.

#include "core/backup/BackupRunner.h"
#include "core/library/RecordingRecovery.h"
#include "core/manage/Mp4Export.h"
#include "core/manage/TrimWorker.h"
#include "core/media/VideoTags.h"
#include "core/platform/DurableFiles.h"
#include "support/KilledRecorder.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QString Video = QStringLiteral("0000012320240305140709.wmv");
const QString Trimmed = QStringLiteral("0000012320240305140710.wmv");
const QByteArray VictimBytes = "a file outside the folder that nothing may write";
const QByteArray LeftoverBytes = "half a file from an interrupted run";

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One run of a site in `folder` (which holds a copy of the source video): the working name it
// uses, the operation, and the file it makes or changes.
struct SiteRun
{
    QString working;
    std::function<bool()> run; // true when the operation completed
    QString output;
};

struct Site
{
    const char* what;
    std::function<SiteRun(const QString& folder, const QString& video)> prepare;
};

class WorkingFilesTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = std::make_unique<TempDir>();
        s_finished = makeTestWmv(s_sources->file(Video), 30, 160, 120, 30);
        // A recording cut off by a kill: its header still holds the writer's placeholders.
        const KilledRecording killed = recordAndKill(s_sources->path(), 1000, 160, 120);
        if (killed.ok())
            s_unfinished = killed.path;
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    static inline std::unique_ptr<TempDir> s_sources;
    static inline QString s_finished;
    static inline QString s_unfinished;
    TempDir dir;
};

} // namespace

TEST_F(WorkingFilesTest, APlantedLinkIsNeverWrittenThroughAndOurLeftoverIsReplaced)
{
    ASSERT_FALSE(s_finished.isEmpty());
    ASSERT_FALSE(s_unfinished.isEmpty());
    ASSERT_EQ(inspectRecording(s_unfinished).state, RecordingState::Unfinished);

    const Site sites[] = {
        {"backup",
         [](const QString& folder, const QString& video) {
             const QString target = folder + QStringLiteral("/backup/") + Video;
             QDir().mkpath(folder + QStringLiteral("/backup"));
             return SiteRun{
                 backupWorkingPath(target),
                 [video, target] { return backupFile(video, target).status == BackupFileStatus::Copied; },
                 target};
         }},
        {"trim",
         [](const QString& folder, const QString& video) {
             auto state = std::make_shared<TrimWorkerState>();
             state->rangeStart = 10;
             state->rangeEnd = 60;
             state->sliderLength = 100;
             state->fps = 30;
             state->sourcePath = video;
             state->targetPath = folder + u'/' + Trimmed;
             state->running = true;
             return SiteRun{folder + QStringLiteral("/.part-") + Trimmed,
                            [state] {
                                TrimWorker(state);
                                return state->result == TrimResult::Done;
                            },
                            state->targetPath};
         }},
        {"tag writer",
         [](const QString&, const QString& video) {
             return SiteRun{
                 tagWorkingPath(video),
                 [video] { return writeVideoTags(video, QStringLiteral("memo")) == TagWriteResult::Written; },
                 video};
         }},
        {"repair",
         [](const QString& folder, const QString&) {
             const QString cut = folder + QStringLiteral("/0000012320240305150000.wmv");
             QFile::copy(s_unfinished, cut);
             return SiteRun{repairTempPath(cut),
                            [cut] { return repairRecording(cut) == RepairResult::Repaired; }, cut};
         }},
        {"MP4 export",
         [](const QString& folder, const QString& video) {
             const QString target = folder + QStringLiteral("/clip.mp4");
             return SiteRun{mp4WorkingPath(target),
                            [video, target] {
                                return runMp4Export({video, target, QStringLiteral("ffmpeg")}).status ==
                                       Mp4ExportStatus::Completed;
                            },
                            target};
         }},
    };
    enum class Planted { LinkToAFile, DanglingLink, OurLeftover };
    const Planted plantings[] = {Planted::LinkToAFile, Planted::DanglingLink, Planted::OurLeftover};

    int n = 0;
    for (const Site& site : sites) {
        for (Planted planted : plantings) {
            SCOPED_TRACE(testing::Message() << site.what << ", planted " << int(planted));
            const QString folder = dir.file(QString::number(++n));
            const QString elsewhere = dir.file(QStringLiteral("elsewhere%1").arg(n));
            ASSERT_TRUE(QDir().mkpath(folder) && QDir().mkpath(elsewhere));
            const QString video = folder + u'/' + Video;
            ASSERT_TRUE(QFile::copy(s_finished, video));
            const SiteRun r = site.prepare(folder, video);
            const QString victim = elsewhere + QStringLiteral("/victim");
            const QString created = elsewhere + QStringLiteral("/created through the link");
            switch (planted) {
            case Planted::LinkToAFile: {
                QFile f(victim);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(VictimBytes) == VictimBytes.size());
                f.close();
                ASSERT_TRUE(QFile::link(victim, r.working));
                break;
            }
            case Planted::DanglingLink:
                ASSERT_TRUE(QFile::link(created, r.working));
                break;
            case Planted::OurLeftover: {
                QFile f(r.working);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(LeftoverBytes) == LeftoverBytes.size());
                break;
            }
            }
            const bool outputExisted = QFileInfo::exists(r.output);
            const QByteArray outputBefore = bytesOf(r.output);

            const bool done = r.run();

            if (planted == Planted::OurLeftover) {
                // An interrupted run of our own is no obstacle, and its leftover is gone.
                EXPECT_TRUE(done);
                EXPECT_FALSE(QFileInfo(r.working).exists() || QFileInfo(r.working).isSymLink());
                EXPECT_GT(QFileInfo(r.output).size(), 0);
                continue;
            }
            // Whatever was planted stays as it was, and nothing was written through it.
            EXPECT_FALSE(done);
            EXPECT_TRUE(QFileInfo(r.working).isSymLink());
            if (planted == Planted::LinkToAFile) {
                EXPECT_EQ(bytesOf(victim), VictimBytes);
            } else
                EXPECT_FALSE(QFileInfo::exists(created));
            EXPECT_EQ(QFileInfo::exists(r.output), outputExisted);
            EXPECT_EQ(bytesOf(r.output), outputBefore);
        }
    }
}

// The clean-up at start removes what the notes of programs no longer running name, and nothing a
// note should not reach: a video (no leading dot), a link's target, a file of a running program.
TEST(WorkingFileJournalTest, TheSweepRemovesOnlyLeftoverWorkingFilesOfProgramsNoLongerRunning)
{
    TempDir dir;
    const QString journal = dir.file(QStringLiteral("working/"));
    ASSERT_TRUE(QDir().mkpath(journal));
    ASSERT_TRUE(dir.write(QStringLiteral("outside.wmv"), "video bytes"));
    ASSERT_TRUE(QFile::link(dir.file(QStringLiteral("outside.wmv")), dir.file(QStringLiteral(".link.part"))));
    const struct
    {
        const char* note;
        QString path;
        bool create;
        bool removed;
    } cases[] = {
        {"leftover of a killed run", dir.file(QStringLiteral(".backup-a.wmv.part")), true, true},
        {"noted, never created", dir.file(QStringLiteral(".part-b.wmv")), false, false},
        {"a video name, not a working name", dir.file(QStringLiteral("0000471120261210093000.wmv")), true,
         false},
        {"a link at the working name", dir.file(QStringLiteral(".link.part")), false, false},
    };
    // pid 0 never names a running program.
    int n = 0;
    for (const auto& c : cases) {
        if (c.create) {
            ASSERT_TRUE(dir.write(QFileInfo(c.path).fileName(), "data"));
        }
        ASSERT_TRUE(
            dir.write(QStringLiteral("working/%1.note").arg(n++), "0\n" + QFile::encodeName(c.path) + '\n'));
    }
    ASSERT_TRUE(dir.write(QStringLiteral(".export.part.mp4"), "still written"));
    // A running program's note: the parent of this test process.
    ASSERT_TRUE(dir.write(QStringLiteral("working/running.note"),
                          QByteArray::number(qint64(::getppid())) + '\n' +
                              QFile::encodeName(dir.file(QStringLiteral(".export.part.mp4"))) + '\n'));

    const QStringList removed = platform::sweepLeftoverWorkingFiles(journal);
    EXPECT_EQ(removed, QStringList{dir.file(QStringLiteral(".backup-a.wmv.part"))});
    for (const auto& c : cases)
        if (c.create) {
            EXPECT_EQ(QFileInfo::exists(c.path), !c.removed) << c.note;
        }
    EXPECT_EQ(dir.read(QStringLiteral("outside.wmv")), QByteArray("video bytes"));
    EXPECT_TRUE(QFileInfo(dir.file(QStringLiteral(".link.part"))).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral(".export.part.mp4"))));
    // The notes of ended programs go; the running program's stays.
    EXPECT_EQ(QDir(journal).entryList(QDir::Files), QStringList{QStringLiteral("running.note")});
}

// Each working file is noted while it exists and its note goes with it, whether it was renamed
// into place or removed.
TEST(WorkingFileJournalTest, ANoteLivesExactlyAsLongAsItsWorkingFile)
{
    TempDir dir;
    const QDir journal(platform::workingFileJournal());
    const auto notes = [&journal] {
        return journal.entryList({QStringLiteral("*.note")}, QDir::Files).size();
    };
    const qsizetype before = notes();
    {
        platform::WorkingFile renamed = platform::WorkingFile::create(dir.file(QStringLiteral(".a.part")));
        platform::WorkingFile dropped = platform::WorkingFile::create(dir.file(QStringLiteral(".b.part")));
        ASSERT_TRUE(renamed.created() && dropped.created());
        EXPECT_EQ(notes(), before + 2);
        QString error;
        ASSERT_EQ(platform::renameNoReplace(renamed.path(), dir.file(QStringLiteral("a.wmv")), error),
                  platform::RenameResult::Renamed);
    }
    EXPECT_EQ(notes(), before);
    EXPECT_TRUE(QFileInfo::exists(dir.file(QStringLiteral("a.wmv"))));
    // Neither renamed nor removed by its writer: it goes with the object.
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral(".b.part"))));
}
