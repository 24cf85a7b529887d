// "Save as a file" (32773) on a real main window with real WMV files and the real ffmpeg: which
// video is exported in each mode, the proposed name, the progress window's texts, the messages for
// a missing ffmpeg and an unwritable target, targets that would destroy a recording, the question
// about the name really written, and quitting while an export runs.

#include "ui/manage/ExportMp4.h"
#include "core/capture/CaptureFlags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/shared/ControlIds.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <unistd.h>

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

const QString Played = QStringLiteral("0001234520240102030405.wmv");

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QString Pending = QStringLiteral("0000077720240305140709.WMV");

// A prompts service that also remembers the proposed name of each save dialog.
class RecordingPrompts : public ScriptedPrompts
{
  public:
    QStringList proposed;
    QString pickSaveFile(QWidget* parent, const QString& title, const QString& name,
                         const QString& filter) override
    {
        proposed << name;
        return ScriptedPrompts::pickSaveFile(parent, title, name, filter);
    }
};

class ExportMp4Test : public MainWindowFixtureOf<RecordingPrompts>
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixtureOf::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
        ASSERT_FALSE(makeTestWmv(path(Played), 20).isEmpty());
        ASSERT_FALSE(makeTestWmv(path(Pending), 40).isEmpty());
        openWindow();
        window->state().playbackVideoName = Played;
        window->state().allListPendingName = Pending;
    }
    // Runs the command; the export it started, or null when none was.
    ExportMp4* startCommand()
    {
        // An earlier export may still await its deletion; the new one is the child not seen before.
        const QList<ExportMp4*> before = window->findChildren<ExportMp4*>();
        window->executeCommand(CmdSaveAsFile);
        for (ExportMp4* e : window->findChildren<ExportMp4*>())
            if (!before.contains(e))
                return e;
        return nullptr;
    }

    // Runs the command and waits for the export it started; the result, or nothing when none ran.
    std::optional<Mp4ExportResult> runCommand()
    {
        ExportMp4* exporter = startCommand();
        if (!exporter)
            return std::nullopt;
        progress = exporter->progressWindow();
        std::optional<Mp4ExportResult> result;
        QObject::connect(exporter, &ExportMp4::finished, [&](const Mp4ExportResult& r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
        return result;
    }

    TempDir out;
    QPointer<CProgressDlg> progress;
};

} // namespace

TEST_F(ExportMp4Test, ExportsThePlayedVideoOrInListAllThePendingRow)
{
    struct Case
    {
        int mode;
        QString expectedSource;
        QString proposed;
        int frames;
    };
    const Case cases[] = {
        {ModeLibrary, Played, QStringLiteral("0001234520240102030405.mp4"), 20},
        {ModeListAll, Pending, QStringLiteral("0000077720240305140709.mp4"), 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        window->setWindowMode(c.mode);
        prompts.proposed.clear();
        // Typed without an extension: ".mp4" is added.
        const QString chosen = out.file(QStringLiteral("mode%1").arg(c.mode));
        prompts.saveFiles = {chosen};
        const std::optional<Mp4ExportResult> r = runCommand();
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(prompts.proposed, QStringList{c.proposed});
        EXPECT_EQ(r->status, Mp4ExportStatus::Completed) << r->detail.toStdString();
        EXPECT_EQ(r->targetPath, chosen + QStringLiteral(".mp4"));
        EXPECT_NEAR(countDecodedFrames(r->targetPath), c.frames, 2);
        EXPECT_TRUE(prompts.messages.isEmpty());
        ASSERT_TRUE(progress);
        EXPECT_EQ(progress->windowTitle(), QStringLiteral("Converting Video"));
        EXPECT_FALSE(progress->blinking());
        EXPECT_EQ(progress->findChild<QLabel*>(QStringLiteral("1046"))->text(),
                  QStringLiteral("MP4 conversion complete"));
        // It closes itself shortly after.
        EXPECT_TRUE(waitUntil([&] { return progress.isNull(); }));
    }
}

TEST_F(ExportMp4Test, NothingHappensWithoutAVideoOrWhenCancelled)
{
    window->setWindowMode(ModeLibrary);
    prompts.saveFiles.clear(); // the dialog is cancelled
    EXPECT_FALSE(runCommand().has_value());
    EXPECT_EQ(prompts.proposed.size(), 1);

    window->state().playbackVideoName.clear();
    prompts.saveFiles = {out.file(QStringLiteral("x.mp4"))};
    EXPECT_FALSE(runCommand().has_value());
    EXPECT_EQ(prompts.proposed.size(), 1); // no dialog without a WMV name
    EXPECT_TRUE(window->findChildren<CProgressDlg*>().isEmpty());
}

TEST_F(ExportMp4Test, MissingFfmpegIsToldAndWritesNothing)
{
    window->tools().setFfmpeg(out.file(QStringLiteral("no-ffmpeg-here")));
    window->setWindowMode(ModeLibrary);
    const QString target = out.file(QStringLiteral("m.mp4"));
    prompts.saveFiles = {target};
    const std::optional<Mp4ExportResult> r = runCommand();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->status, Mp4ExportStatus::StartFailed);
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Failed to start FFmpeg.")});
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // The progress window stays, still blinking, until the user closes it.
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->blinking());
    EXPECT_EQ(progress->message(), QStringLiteral("Converting to MP4..."));
    progress->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(progress.isNull());
}

TEST_F(ExportMp4Test, UnwritableTargetIsToldAndWritesNothing)
{
    ASSERT_TRUE(out.write(QStringLiteral("plain file"), "x"));
    const QString target = out.file(QStringLiteral("plain file/a.mp4"));
    window->setWindowMode(ModeLibrary);
    prompts.saveFiles = {target};
    const std::optional<Mp4ExportResult> r = runCommand();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->status, Mp4ExportStatus::Failed);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(target + QStringLiteral("\r\nMP4 conversion failed.")))
        << prompts.messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(target));
    ASSERT_TRUE(progress);
    EXPECT_FALSE(progress->blinking());
    EXPECT_EQ(progress->message(), QStringLiteral("MP4 conversion failed"));
}

TEST_F(ExportMp4Test, TargetsThatWouldDestroyARecordingAreRefused)
{
    const QString folder = appSettings().value(SaveFolder);
    const QString source = folder + u'/' + Played;
    const QByteArray original = bytesOf(source);
    ASSERT_FALSE(original.isEmpty());
    ASSERT_TRUE(QFile::link(source, out.file(QStringLiteral("link.mp4"))));
    ASSERT_EQ(
        ::link(QFile::encodeName(source).constData(), QFile::encodeName(out.file("hard.mp4")).constData()),
        0);
    const QStringList folderBefore =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QStringList outBefore =
        QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    struct Case
    {
        const char* what;
        QString target;
    };
    const Case cases[] = {
        {"the video itself", source},
        {"the video through another spelling of its folder",
         folder + QStringLiteral("/../") + QFileInfo(folder).fileName() + u'/' + Played},
        {"a link to the video", out.file(QStringLiteral("link.mp4"))},
        {"a hard link to the video", out.file(QStringLiteral("hard.mp4"))},
        {"a new video name in the save folder", folder + QStringLiteral("/0009999920240101010101.wmv")},
        {"another recorded video", folder + u'/' + Pending},
    };
    window->setWindowMode(ModeLibrary);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.messages.clear();
        prompts.saveFiles = {c.target};
        EXPECT_EQ(startCommand(), nullptr);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].startsWith(c.target + QStringLiteral("\r\n")))
            << prompts.messages[0].toStdString();
        EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("Choose another name")));
        EXPECT_TRUE(window->findChildren<CProgressDlg*>().isEmpty());
    }
    // Nothing was written anywhere, and the recording is as it was.
    EXPECT_EQ(bytesOf(source), original);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), folderBefore);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), outBefore);

    // An MP4 in the save folder under a name that is no video's is an ordinary target.
    prompts.saveFiles = {folder + QStringLiteral("/notes")};
    const std::optional<Mp4ExportResult> r = runCommand();
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->status, Mp4ExportStatus::Completed) << r->detail.toStdString();
    EXPECT_EQ(r->targetPath, folder + QStringLiteral("/notes.mp4"));
    EXPECT_EQ(bytesOf(source), original);
}

TEST_F(ExportMp4Test, AnExistingFileIsReplacedOnlyWhenTheNameWrittenWasAgreedTo)
{
    ASSERT_TRUE(out.write(QStringLiteral("clip.mp4"), "an earlier export"));
    const QString clip = out.file(QStringLiteral("clip.mp4"));
    const QString asked = clip + QStringLiteral(" already exists.\r\nDo you want to replace it?");
    struct Case
    {
        const char* what;
        QString chosen;             // what the save dialog returns
        std::optional<bool> answer; // the answer to the question; none when none may be asked
        bool exported;
    };
    const Case cases[] = {
        {"typed without the extension, not replaced", out.file(QStringLiteral("clip")), false, false},
        {"chosen with the extension, not replaced", clip, false, false},
        {"typed without the extension, replaced", out.file(QStringLiteral("clip")), true, true},
        {"a new name", out.file(QStringLiteral("fresh")), std::nullopt, true},
    };
    window->setWindowMode(ModeLibrary);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.questions.clear();
        prompts.answers.clear();
        if (c.answer)
            prompts.answers = {*c.answer};
        prompts.saveFiles = {c.chosen};
        const QByteArray before =
            bytesOf(c.chosen.endsWith(QStringLiteral(".mp4")) ? c.chosen : c.chosen + ".mp4");
        const std::optional<Mp4ExportResult> r = runCommand();
        EXPECT_EQ(prompts.questions, c.answer ? QStringList{asked} : QStringList());
        EXPECT_EQ(r.has_value(), c.exported);
        if (!c.exported) {
            EXPECT_EQ(bytesOf(clip), QByteArray("an earlier export"));
            continue;
        }
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->status, Mp4ExportStatus::Completed) << r->detail.toStdString();
        EXPECT_NE(bytesOf(r->targetPath), before);
        EXPECT_NEAR(countDecodedFrames(r->targetPath), 20, 2);
    }
}

TEST_F(ExportMp4Test, QuittingWhileAnExportRunsAsksFirst)
{
    // The real ffmpeg, started only once the gate file exists: the export is still running when
    // the Quit button is pressed.
    const QString gate = out.file(QStringLiteral("gate"));
    const QString program = out.file(QStringLiteral("gated-ffmpeg"));
    ASSERT_TRUE(
        out.write(QStringLiteral("gated-ffmpeg"), "#!/bin/sh\nwhile [ ! -e '" + QFile::encodeName(gate) +
                                                      "' ]; do sleep 0.05; done\nexec ffmpeg \"$@\"\n"));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    window->tools().setFfmpeg(program);
    window->setWindowMode(ModeLibrary);
    auto* quit = qobject_cast<QPushButton*>(window->control(IDC_QUIT));
    ASSERT_NE(quit, nullptr);
    const QString asked = QStringLiteral("An MP4 export is still running.\r\n\r\nStop it and quit now?");

    // No: the window stays and the export finishes.
    const QString kept = out.file(QStringLiteral("kept.mp4"));
    prompts.saveFiles = {kept};
    QPointer<ExportMp4> exporter = startCommand();
    ASSERT_TRUE(exporter);
    prompts.answers = {false};
    quit->click();
    EXPECT_EQ(prompts.questions, QStringList{asked});
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(exporter);
    EXPECT_TRUE(exporter->running());
    std::optional<Mp4ExportResult> result;
    QObject::connect(exporter, &ExportMp4::finished, [&](const Mp4ExportResult& r) { result = r; });
    ASSERT_TRUE(out.write(QStringLiteral("gate"), "open"));
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(result->status, Mp4ExportStatus::Completed) << result->detail.toStdString();
    EXPECT_NEAR(countDecodedFrames(kept), 20, 2);

    // Yes: the export is stopped without a trace and the program ends.
    ASSERT_TRUE(QFile::remove(gate));
    const QString stopped = out.file(QStringLiteral("stopped.mp4"));
    prompts.questions.clear();
    prompts.saveFiles = {stopped};
    exporter = startCommand();
    ASSERT_TRUE(exporter);
    prompts.answers = {true};
    quit->click();
    EXPECT_EQ(prompts.questions, QStringList{asked});
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(ExportMp4::runningExports(window.get()).isEmpty());
    EXPECT_FALSE(QFile::exists(stopped));
    EXPECT_FALSE(QFile::exists(mp4WorkingPath(stopped)));
}
