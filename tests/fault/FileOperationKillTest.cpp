// The program's file operations (memo save, trim, backup, MP4 export) killed with SIGKILL at random
// moments, then the next start's clean-up of working files: afterwards every file is in its old or
// its new state, the library scan lists nothing partial, and no working file is left anywhere. The
// head data beside a video is never found half written, and never ahead of its video.
// TOLVEK_FAULT_KILLS / 4 kills per operation (make fault: 25 each), at least 3; TOLVEK_FAULT_SEED
// sets the random moments. Prints how the kills fell.

#include "core/library/ScanSaveFolder.h"
#include "core/manage/TrimWorker.h"
#include "core/media/HeadTrack.h"
#include "core/media/HeaderJournal.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/media/WmvWriter.h"
#include "core/platform/DurableFiles.h"
#include "core/playback/SliderMath.h"
#include "core/settings/VideoFileName.h"
#include "support/LibraryFixtureNames.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <opencv2/core.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int SourceFrames = 450;
const QString OldMemo = QStringLiteral("old memo");
const QString NewMemo = QStringLiteral("new memo \u00e4\u6f22");
// Slider positions of the trimmed range, of a slider this long.
constexpr int TrimStart = 250, TrimEnd = 750, SliderLength = 1000;

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Every entry of a folder, hidden ones included, sorted.
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool isHeadData(const QString& name)
{
    return name.endsWith(QLatin1String(".head.csv"));
}

// The entries that are not head data.
QStringList videoEntries(const QString& folder)
{
    QStringList names = entries(folder);
    names.removeIf(isHeadData);
    return names;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every head-data file in folder is whole (a copy of `whole` when given) and, with besideVideo, lies
// beside its video.
void expectWholeHeadData(const QString& folder, bool besideVideo, const QByteArray& whole = {})
{
    for (const QString& name : entries(folder)) {
        if (!isHeadData(name))
            continue;
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = bytesOf(folder + u'/' + name);
        const media::HeadTrackRead read = media::parseHeadTrack(bytes);
        EXPECT_EQ(read.status, media::HeadTrackRead::Status::Ok) << read.problem.toStdString();
        EXPECT_FALSE(read.cutShort) << "half written";
        if (!whole.isEmpty()) {
            EXPECT_EQ(bytes, whole);
        }
        QString video = name;
        video.replace(QLatin1String(".head.csv"), QLatin1String(".wmv"));
        if (besideVideo) {
            EXPECT_TRUE(QFileInfo::exists(folder + u'/' + video)) << "head data without its video";
        }
    }
}

QStringList hidden(const QStringList& names)
{
    QStringList out;
    for (const QString& n : names)
        if (n.startsWith(u'.'))
            out << n;
    return out;
}

// Whether a process still runs whose command line mentions `text` (an ffmpeg orphaned by the kill).
bool processMentions(const QString& text)
{
    const QByteArray needle = text.toLocal8Bit();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.front().isDigit())
            continue;
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains(needle))
            return true;
    }
    return false;
}

// A video of SourceFrames frames at 640 x 480 with fine noise at a high bit rate (about 11 MB), so
// that copying it takes long enough for the kills to fall inside the operations.
bool makeNoisyWmv(const QString& path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("testsrc=size=640x480:rate=30"),
             QStringLiteral("-frames:v"), QString::number(SourceFrames), QStringLiteral("-vf"),
             QStringLiteral("noise=alls=20:allf=t"), QStringLiteral("-c:v"), QStringLiteral("wmv2"),
             QStringLiteral("-b:v"), QStringLiteral("6M"), QStringLiteral("-metadata"),
             QStringLiteral("title=") + OldMemo, path});
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// One run's folders: the save folder, a backup folder, an export folder, the data folder with the
// working-file journal, and a data home holding the trash.
struct RunFolders
{
    TempDir root;
    QString save = root.file(QStringLiteral("save"));
    QString backup = root.file(QStringLiteral("backup"));
    QString exports = root.file(QStringLiteral("export"));
    QString data = root.file(QStringLiteral("data")) + u'/';
    QString share = root.file(QStringLiteral("share"));
    RunFolders()
    {
        for (const QString& f : {save, backup, exports, data, share})
            QDir().mkpath(f);
    }
    QString trashed(const QString& name) const { return share + QStringLiteral("/Trash/files/") + name; }
    QStringList workingFilesLeft() const
    {
        return hidden(entries(save)) + hidden(entries(backup)) + hidden(entries(exports)) +
               entries(data + QStringLiteral("working"));
    }
};

enum class State { Old, Between, New };

// The source videos every run starts from, made once.
struct Sources
{
    TempDir dir;
    QStringList names{QStringLiteral("0000471120261210093000.wmv"),
                      QStringLiteral("0000471220261210094500.wmv"),
                      QStringLiteral("0000471320261210100000.wmv")};
    QList<QByteArray> digests;
    QByteArray head; // of the first, which the trim and the backup work on
    int frames = 0;
    // The export reads a plainer, shorter video of its own (outside the save folder), so that one
    // export takes seconds rather than tens of seconds.
    QString exportSource() const { return dir.file(QStringLiteral("export-source.wmv")); }
    int exportFrames = 0;
    bool make()
    {
        // The first is the large one the memo, trim and backup work on, from before the header
        // reserve existed (its memo edits copy the file); the second one the program wrote, with
        // a reserve (its memo edits rewrite the header in place). The backup copies all.
        for (const QString& name : names) {
            if (name == names[0]   ? !makeNoisyWmv(dir.file(name))
                : name == names[1] ? makeProgramWmv(dir.file(name), 60, 320, 240, OldMemo).isEmpty()
                                   : makeFfmpegWmv(dir.file(name), 30, OldMemo, 64, 48).isEmpty())
                return false;
            digests << digestOf(dir.file(name));
        }
        frames = countDecodedFrames(dir.file(names[0]));
        head = writeTestHeadData(dir.file(names[0]), frames);
        exportFrames = countDecodedFrames(makeFfmpegWmv(exportSource(), 150, OldMemo, 640, 480));
        return frames > 0 && exportFrames > 0 && !head.isEmpty();
    }
    void copyInto(const QString& folder) const
    {
        for (const QString& name : names)
            QFile::copy(dir.file(name), folder + u'/' + name);
        QFile::copy(media::headTrackPath(dir.file(names[0])), media::headTrackPath(folder + u'/' + names[0]));
    }
};

struct Operation
{
    const char* name;
    std::function<QStringList(const Sources&, const RunFolders&)> arguments;
    // Checks the folders after the kill and the clean-up; returns the state found.
    std::function<State(const Sources&, const RunFolders&)> check;
};

// A memo save on source `index`: the old memo and the very same bytes, or the new memo and every
// frame.
State checkMemo(const Sources& s, const RunFolders& f, int index)
{
    const QString path = f.save + u'/' + s.names[index];
    EXPECT_EQ(videoEntries(f.save), s.names);
    EXPECT_EQ(bytesOf(media::headTrackPath(f.save + u'/' + s.names[0])), s.head);
    const QString memo = VideoHeaderReader().readDurationAndTitle(path).memo;
    if (memo == OldMemo) {
        EXPECT_EQ(digestOf(path), s.digests[index]) << "the old memo, but the file changed";
        return State::Old;
    }
    EXPECT_EQ(memo, NewMemo);
    EXPECT_EQ(countDecodedFrames(path), countDecodedFrames(s.dir.file(s.names[index])));
    return State::New;
}

// The trim's target in the run's save folder, named as in a folder without it.
QString trimTarget(const Sources& s, const RunFolders& f)
{
    const std::optional<QString> name =
        makeTrimmedFileName(s.dir.file(s.names[0]), TrimStart, s.frames, SliderLength, 30);
    return name ? f.save + u'/' + QFileInfo(*name).fileName() : QString();
}

const Operation Operations[] = {
    {"memo",
     [](const Sources& s, const RunFolders& f) {
         return QStringList{QStringLiteral("memo"), f.save + u'/' + s.names[0], NewMemo};
     },
     [](const Sources& s, const RunFolders& f) { return checkMemo(s, f, 0); }},
    {"memo_in_place",
     [](const Sources& s, const RunFolders& f) {
         return QStringList{QStringLiteral("memo"), f.save + u'/' + s.names[1], NewMemo};
     },
     [](const Sources& s, const RunFolders& f) {
         // Rewritten in place: the file keeps its size.
         const State state = checkMemo(s, f, 1);
         EXPECT_EQ(QFileInfo(f.save + u'/' + s.names[1]).size(), QFileInfo(s.dir.file(s.names[1])).size());
         return state;
     }},
    {"trim",
     [](const Sources& s, const RunFolders& f) {
         return QStringList{QStringLiteral("trim"),
                            f.save + u'/' + s.names[0],
                            trimTarget(s, f),
                            QString::number(TrimStart),
                            QString::number(TrimEnd),
                            QString::number(SliderLength),
                            NewMemo};
     },
     [](const Sources& s, const RunFolders& f) {
         const QString source = f.save + u'/' + s.names[0];
         const QString target = trimTarget(s, f);
         const QString targetName = QFileInfo(target).fileName();
         const bool hasSource = QFileInfo::exists(source), hasTarget = QFileInfo::exists(target);
         QStringList expected = s.names;
         if (!hasSource)
             expected.removeAll(s.names[0]);
         if (hasTarget)
             expected << targetName;
         expected.sort();
         EXPECT_EQ(videoEntries(f.save), expected);
         // The head data follows each video: the original's goes after it (a kill in between
         // leaves it behind), the copy's is written once the copy holds its name.
         const QString sourceHead = media::headTrackPath(source);
         if (hasSource || QFileInfo::exists(sourceHead)) {
             EXPECT_EQ(bytesOf(sourceHead), s.head);
         } else
             EXPECT_EQ(bytesOf(media::headTrackPath(f.trashed(s.names[0]))), s.head);
         const media::HeadTrackRead targetHead = media::readHeadTrack(target);
         if (targetHead.status != media::HeadTrackRead::Status::Missing) {
             EXPECT_TRUE(hasTarget) << "head data ahead of its video";
             EXPECT_EQ(targetHead.status, media::HeadTrackRead::Status::Ok);
             EXPECT_FALSE(targetHead.cutShort) << "half written";
             EXPECT_EQ(int(targetHead.rows.size()),
                       markedFrames(TrimStart, TrimEnd, SliderLength, s.frames).count());
         }
         if (hasSource) {
             EXPECT_EQ(digestOf(source), s.digests[0]) << "the original changed";
         } else
             EXPECT_EQ(digestOf(f.trashed(s.names[0])), s.digests[0])
                 << "the original is neither here nor in the trash";
         if (hasTarget) {
             const int wanted = markedFrames(TrimStart, TrimEnd, SliderLength, s.frames).count();
             const int decoded = countDecodedFrames(target);
             EXPECT_TRUE(copyIsComplete(decoded, wanted)) << decoded << " of " << wanted << " frames";
             EXPECT_EQ(VideoHeaderReader().readDurationAndTitle(target).memo, NewMemo);
             EXPECT_EQ(copyrightOf(target), QString::fromLatin1(ProductMark));
         }
         EXPECT_TRUE(hasSource || hasTarget);
         return !hasTarget ? State::Old : hasSource ? State::Between : State::New;
     }},
    {"backup",
     [](const Sources& s, const RunFolders& f) {
         return QStringList{QStringLiteral("backup"), f.save, f.backup} + s.names;
     },
     [](const Sources& s, const RunFolders& f) {
         EXPECT_EQ(videoEntries(f.save), s.names);
         // A head-data copy is whole and only beside a video already backed up.
         expectWholeHeadData(f.backup, true, s.head);
         const QStringList copied = videoEntries(f.backup);
         for (const QString& name : copied) {
             const qsizetype i = s.names.indexOf(name);
             EXPECT_GE(i, 0) << name.toStdString() << " in the backup folder";
             if (i >= 0) {
                 EXPECT_EQ(digestOf(f.backup + u'/' + name), s.digests[i]) << name.toStdString();
             }
         }
         for (int i = 0; i < s.names.size(); ++i)
             EXPECT_EQ(digestOf(f.save + u'/' + s.names[i]), s.digests[i]);
         return copied.isEmpty() ? State::Old : copied.size() == s.names.size() ? State::New : State::Between;
     }},
    {"export",
     [](const Sources& s, const RunFolders& f) {
         return QStringList{QStringLiteral("export"), s.exportSource(),
                            f.exports + QStringLiteral("/clip.mp4")};
     },
     [](const Sources& s, const RunFolders& f) {
         EXPECT_EQ(videoEntries(f.save), s.names);
         const QStringList written = entries(f.exports);
         if (written.isEmpty())
             return State::Old;
         EXPECT_EQ(written, QStringList{QStringLiteral("clip.mp4")});
         EXPECT_NEAR(countDecodedFrames(f.exports + QStringLiteral("/clip.mp4")), s.exportFrames, 2);
         return State::New;
     }},
};

class FileOperationKillTest : public testing::TestWithParam<int>
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = new Sources;
        s_ready = s_sources->make();
    }
    static void TearDownTestSuite()
    {
        delete s_sources;
        s_sources = nullptr;
    }

    // Starts the helper on the operation; returns once it printed "ready" (false when it never did).
    static bool start(QProcess& p, const Operation& op, const RunFolders& f)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TOLVEK_DATA_DIR"), f.data);
        env.insert(QStringLiteral("XDG_DATA_HOME"), f.share);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(TOLVEK_BINARY_DIR "/tests/file_operation"), op.arguments(*s_sources, f));
        if (!p.waitForStarted(10000))
            return false;
        QElapsedTimer bound;
        bound.start();
        while (bound.elapsed() < 30000 && p.state() == QProcess::Running) {
            if (p.canReadLine() || p.waitForReadyRead(1000))
                if (p.readLine().trimmed() == "ready")
                    return true;
        }
        return false;
    }

    // The next start of the program: its sweep over the journal of the data folder.
    static void nextStart(const RunFolders& f)
    {
        platform::sweepLeftoverWorkingFiles(f.data + QStringLiteral("working/"),
                                            &media::finishInterruptedHeaderWrite);
    }

    static Sources* s_sources;
    static bool s_ready;
};

Sources* FileOperationKillTest::s_sources = nullptr;
bool FileOperationKillTest::s_ready = false;

TEST_P(FileOperationKillTest, EveryFileIsInItsOldOrNewStateAndNoWorkingFileOutlivesTheNextStart)
{
    ASSERT_TRUE(s_ready) << "the source videos could not be made";
    const Operation& op = Operations[GetParam()];
    const int kills = std::max(3, envInt("TOLVEK_FAULT_KILLS", 12) / 4);
    const unsigned seed = unsigned(envInt("TOLVEK_FAULT_SEED", 20261210)) + unsigned(GetParam());

    // One run to the end: how long the operation takes, and that the check sees its new state.
    qint64 fullMs = 0;
    {
        RunFolders f;
        s_sources->copyInto(f.save);
        QProcess p;
        ASSERT_TRUE(start(p, op, f));
        QElapsedTimer t;
        t.start();
        ASSERT_TRUE(p.waitForFinished(120000));
        fullMs = std::max<qint64>(1, t.elapsed());
        ASSERT_EQ(p.exitCode(), 0) << op.name << " did not succeed when left alone: "
                                   << op.arguments(*s_sources, f).join(u' ').toStdString();
        EXPECT_EQ(op.check(*s_sources, f), State::New);
        EXPECT_EQ(f.workingFilesLeft(), QStringList());
    }

    std::mt19937 random(seed);
    // Up to a fifth past the measured length, so that some kills also fall after the end.
    std::uniform_int_distribution<qint64> moment(0, fullMs * 1200);
    int states[3] = {0, 0, 0};
    int leftBehind = 0;
    for (int k = 0; k < kills; ++k) {
        RunFolders f;
        s_sources->copyInto(f.save);
        QProcess p;
        ASSERT_TRUE(start(p, op, f)) << "kill " << k;
        const qint64 us = moment(random);
        QThread::usleep(static_cast<unsigned long>(us));
        p.kill(); // SIGKILL
        p.waitForFinished(10000);
        SCOPED_TRACE(testing::Message() << op.name << ", kill " << k << " after " << us / 1000 << " ms");
        // A child program (ffmpeg) ends with the program that started it, at once: one that went
        // on would write into a working file nobody removes, or after the clean-up.
        QElapsedTimer waited;
        waited.start();
        while (processMentions(f.root.path()) && waited.elapsed() < 300)
            QThread::msleep(10);
        EXPECT_FALSE(processMentions(f.root.path())) << "a child program outlived the program";

        leftBehind += f.workingFilesLeft().isEmpty() ? 0 : 1;
        nextStart(f);
        EXPECT_EQ(f.workingFilesLeft(), QStringList()) << "after the next start";
        ++states[int(op.check(*s_sources, f))];

        // The library lists only whole videos: none without a length, none unreadable.
        VideoLibrary library;
        const ScanOutcome scan = scanSaveFolder(f.save, library);
        ASSERT_EQ(scan.status, ScanStatus::Ok) << f.save.toStdString();
        EXPECT_TRUE(scan.unreadableFiles.isEmpty() && scan.filesWithoutLength.isEmpty() &&
                    scan.emptyFiles.isEmpty());
        QStringList listed;
        for (const VideoRecord& r : library)
            listed << r.fileName;
        listed.sort();
        EXPECT_EQ(listed, videoEntries(f.save));
        expectWholeHeadData(f.save, false);
    }
    std::printf(
        "[ figures ] %s: %d kills within %lld ms (one full run %lld ms): old state %d, between %d, new state "
        "%d; working files left by the kill %d, all removed at the next start\n",
        op.name, kills, static_cast<long long>(fullMs * 12 / 10), static_cast<long long>(fullMs), states[0],
        states[1], states[2], leftBehind);
}

INSTANTIATE_TEST_SUITE_P(Operations, FileOperationKillTest, testing::Range(0, int(std::size(Operations))),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(Operations[info.param].name);
                         });

} // namespace
