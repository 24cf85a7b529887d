// "Save as a file" (32773) on a real main window with real WMV files and the real ffmpeg: which
// video is exported in each mode, the proposed name, the progress window's texts, and the
// messages for a missing ffmpeg and an unwritable target.

#include "ui/manage/ExportMp4.h"
#include "core/capture/CaptureFlags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"

#include <QApplication>
#include <QFile>
#include <QLabel>

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
const QString Pending = QStringLiteral("0000077720240305140709.WMV");

// A prompts service that also remembers the proposed name of each save dialog.
class RecordingPrompts : public ScriptedPrompts {
public:
    QStringList proposed;
    QString pickSaveFile(QWidget* parent, const QString& title, const QString& name, const QString& filter) override
    {
        proposed << name;
        return ScriptedPrompts::pickSaveFile(parent, title, name, filter);
    }
};

class ExportMp4Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        appSettings().resetToDefaults();
        storage = initStorage(appSettings(), dir.file("data"));
        ASSERT_FALSE(storage.load.mustExit);
        const QString folder = appSettings().value(SaveFolder);
        ASSERT_FALSE(makeTestWmv(folder + u'/' + Played, 20).isEmpty());
        ASSERT_FALSE(makeTestWmv(folder + u'/' + Pending, 40).isEmpty());
        MainWindowServices services;
        services.prompts = &prompts;
        services.profile = &profile;
        services.paths = storage.paths;
        services.countCameras = [] { return 1; };
        window = std::make_unique<CTolvek2Dlg>(services);
        window->show();
        QCoreApplication::processEvents();
        window->playbackVideoName = Played;
        window->allListPendingName = Pending;
    }
    void TearDown() override
    {
        setFfmpegProgram(QString());
        window.reset();
    }

    // Runs the command and waits for the export it started; the result, or nothing when none ran.
    std::optional<Mp4ExportResult> runCommand()
    {
        // An earlier export may still await its deletion; the new one is the child not seen before.
        const QList<ExportMp4*> before = window->findChildren<ExportMp4*>();
        window->executeCommand(CmdSaveAsFile);
        ExportMp4* exporter = nullptr;
        for (ExportMp4* e : window->findChildren<ExportMp4*>())
            if (!before.contains(e))
                exporter = e;
        if (!exporter)
            return std::nullopt;
        progress = exporter->progressWindow();
        std::optional<Mp4ExportResult> result;
        QObject::connect(exporter, &ExportMp4::finished, [&](const Mp4ExportResult& r) { result = r; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
        return result;
    }

    TempDir dir;
    TempDir out;
    StorageOutcome storage;
    RecordingPrompts prompts;
    MemoryProfile profile;
    std::unique_ptr<CTolvek2Dlg> window;
    QPointer<CProgressDlg> progress;
};

} // namespace

TEST_F(ExportMp4Test, ExportsThePlayedVideoOrInListAllThePendingRow)
{
    struct Case {
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

    window->playbackVideoName.clear();
    prompts.saveFiles = {out.file(QStringLiteral("x.mp4"))};
    EXPECT_FALSE(runCommand().has_value());
    EXPECT_EQ(prompts.proposed.size(), 1); // no dialog without a WMV name
    EXPECT_TRUE(window->findChildren<CProgressDlg*>().isEmpty());
}

TEST_F(ExportMp4Test, MissingFfmpegIsToldAndWritesNothing)
{
    setFfmpegProgram(out.file(QStringLiteral("no-ffmpeg-here")));
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
