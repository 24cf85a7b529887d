// The recording road through the real capture thread with the simulated eye camera.
#include "core/capture/SimulatedEyeSource.h"
#include "core/i18n/Messages.h"
#include "core/manage/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/GyroBoardProcess.h"
#include "support/HeldRepair.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/app/ControlIds.h"
#include "ui/library/VideoLists.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <memory>

using namespace tolvek;
using namespace tolvek::test;

namespace {

class RecordingControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appSettings().resetToDefaults();
        storage = initStorage(appSettings(), dir.file("data"));
        appSettings().setValue(CaptureSize, QStringLiteral("96,72"));
        appSettings().updateCaptureSize();
        saveFolder = appSettings().value(SaveFolder);
    }
    void TearDown() override { w.reset(); }

    void makeWindow(int cameras)
    {
        MainWindowServices services;
        services.prompts = &prompts;
        services.profile = &profile;
        services.paths = storage.paths;
        services.countCameras = [cameras] { return cameras; };
        services.recording.frameSources = [](int index) -> std::unique_ptr<FrameSource> {
            if (index != 0)
                return nullptr;
            SimulatedEyeSource::Options o;
            o.width = 96;
            o.height = 72;
            o.fps = 60;
            return std::make_unique<SimulatedEyeSource>(o);
        };
        services.recording.freeBytes = [this](const QString&) { return freeBytes; };
        services.recording.writeCopyrightTag = [this](const QString& path) { stamped << path; writeCopyrightTag(path); };
        prompts.beforeKeypadAnswer = [this] { waitUntil([this] { return w && w->flags().cameraOpened.load(); }); };
        w = std::make_unique<CTolvek2Dlg>(services);
        w->resize(1280, 720);
        w->show();
    }

    QStringList videos() const { return QDir(saveFolder).entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name); }

    // Starts the first recording for id and waits until its file is open.
    void startFirstRecording(int id)
    {
        prompts.patientIds.push_back(id);
        makeWindow(1);
        ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
        ASSERT_EQ(w->windowMode(), ModeRecording);
        ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    }

    TempDir dir;
    StorageOutcome storage;
    QString saveFolder;
    ScriptedPrompts prompts;
    MemoryProfile profile;
    QStringList stamped;
    qint64 freeBytes = 10LL << 30;
    std::unique_ptr<CTolvek2Dlg> w;
};

}  // namespace

TEST_F(RecordingControlTest, AcceptedIdRecordsAStampedFileThatStopShows)
{
    startFirstRecording(4567);
    EXPECT_EQ(w->closeAllowed(), 0);
    EXPECT_FALSE(w->control(IDC_QUIT)->isEnabled());
    EXPECT_TRUE(appSettings().value(IdHistory).startsWith(QStringLiteral("00004567,")));
    QString finished;
    QObject::connect(&w->recordingControl(), &RecordingControl::recordingFinished, [&](const QString& n) { finished = n; });
    QThread::msleep(700);  // let some frames be written after the warm-up

    w->recordingControl().stopRecording();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->closeAllowed(), 1);
    ASSERT_EQ(videos().size(), 1);
    const QString name = videos().first();
    EXPECT_TRUE(name.startsWith(QStringLiteral("00004567")));
    EXPECT_TRUE(isVideoFileName(name));
    EXPECT_EQ(finished, name);
    EXPECT_EQ(w->playbackVideoName, name);
    EXPECT_EQ(stamped, QStringList{makeSavePath(saveFolder, name)});
    EXPECT_GT(countDecodedFrames(makeSavePath(saveFolder, name)), 0);
    QFile f(makeSavePath(saveFolder, name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8192).contains(QByteArray("T\0o\0l\0v\0e\0k\0", 12)));  // the product mark

    // A second stop does nothing.
    w->recordingControl().stopRecording();
    EXPECT_EQ(videos().size(), 1);
}

TEST_F(RecordingControlTest, RestartDeletesThePartialFileAndRecordsANewOne)
{
    startFirstRecording(123);
    QThread::msleep(1100);  // so that the new file's start second differs from the first's
    const QString first = w->recordingControl().openedFileName();
    w->recordingControl().restartRecording();
    EXPECT_FALSE(QFile::exists(makeSavePath(saveFolder, first)));
    EXPECT_EQ(w->windowMode(), ModeRecording);
    ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    const QString second = w->recordingControl().openedFileName();
    EXPECT_GT(second, first);  // a later start time
    w->recordingControl().stopRecording();
    EXPECT_EQ(videos(), QStringList{second});
}

TEST_F(RecordingControlTest, CancelledFirstEntryGoesToTheLibraryWithTheLatestHistoryId)
{
    appSettings().setValue(IdHistory, QStringLiteral("00000777,00000111"));
    const QString older = QStringLiteral("0000077720240101100000.wmv");
    const QString newer = QStringLiteral("0000077720240102100000.wmv");
    for (const QString& name : {older, newer})
        ASSERT_FALSE(makeTestWmv(makeSavePath(saveFolder, name), 5).isEmpty());
    makeWindow(1);
    ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->currentPatientId(), 777);
    // The newest video of that ID is shown and selected.
    EXPECT_EQ(w->playbackVideoName, newer);
    auto* ids = qobject_cast<QTreeWidget*>(w->control(IDC_ID_LIST));
    ASSERT_EQ(ids->selectedItems().size(), 1);
    EXPECT_EQ(ids->selectedItems().first()->text(1), newer);
    EXPECT_FALSE(w->flags().recordRequested.load());
    EXPECT_EQ(videos().size(), 2);  // nothing recorded
}

TEST_F(RecordingControlTest, WithoutCameraTheUserIsTold)
{
    makeWindow(0);
    QCoreApplication::processEvents();
    prompts.messages.clear();
    w->recordingControl().startRecording();
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("No camera is connected.")});
    w->recordingControl().startLiveCapture();
    EXPECT_EQ(prompts.messages.last(), Message(MsgConnectCamera));
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(prompts.keypadRuns, 0);
}

TEST_F(RecordingControlTest, RecordButtonStartsASecondRecordingUnderANewId)
{
    startFirstRecording(1);
    QThread::msleep(300);
    w->recordingControl().stopRecording();
    prompts.patientIds.push_back(2);
    w->recordingControl().startRecording();
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->currentPatientId(), 2);
    ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    QThread::msleep(300);
    w->recordingControl().stopRecording();
    const QStringList names = videos();
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names[0].startsWith(QStringLiteral("00000001")));
    EXPECT_TRUE(names[1].startsWith(QStringLiteral("00000002")));
}

TEST_F(RecordingControlTest, LowDiskSpaceStopsTheRecordingCleanlyAndSaysSo)
{
    startFirstRecording(55);
    QThread::msleep(400);
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeRecording);  // plenty of room: nothing happens

    freeBytes = 3 << 20;
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->closeAllowed(), 1);
    ASSERT_EQ(videos().size(), 1);
    EXPECT_GT(countDecodedFrames(makeSavePath(saveFolder, videos().first())), 0);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().startsWith(QStringLiteral("The disk of the save folder is almost full (3 MB left).")));
}

TEST_F(RecordingControlTest, VanishedSaveFolderStopsTheRecording)
{
    startFirstRecording(56);
    freeBytes = -1;
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral("The save folder %1 is no longer available.\r\nThe recording was stopped.").arg(saveFolder));
}

TEST_F(RecordingControlTest, GyroBoardTurnsTheRecordedHeadAndSpaceRezeroesIt)
{
    GyroBoardProcess board(QStringLiteral("turn"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    appSettings().setValue(ComPort, board.slavePath());
    startFirstRecording(321);
    ASSERT_TRUE(w->sensorLink().isAlive());
    QThread::msleep(1500);

    // Space with a sensor re-zeroes: the next samples give a head facing forward.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &space);
    QThread::msleep(30);
    const HeadPose forward = w->head().headPose();
    EXPECT_GT(std::abs(forward.w), 0.99f) << forward.w << " " << forward.z;

    w->recordingControl().stopRecording();
    EXPECT_FALSE(w->sensorLink().isAlive());  // the stop ends the link
    ASSERT_EQ(videos().size(), 1);

    // The head picture in the top-left square differs between an early and a late frame.
    cv::VideoCapture file(makeSavePath(saveFolder, videos().first()).toStdString());
    ASSERT_TRUE(file.isOpened());
    std::vector<cv::Mat> heads;
    cv::Mat frame;
    while (file.read(frame))
        heads.push_back(frame(cv::Rect(0, 0, 72, 72)).clone());
    ASSERT_GT(heads.size(), 20u);
    const double change = cv::norm(heads[2], heads[heads.size() - 2], cv::NORM_L1) / (72.0 * 72.0 * 3.0);
    EXPECT_GT(change, 2.0);  // mean change per channel: the wire drawing moved
}

TEST_F(RecordingControlTest, ARepairEndingDuringARecordingListsTheRecordingOnce)
{
    makeWindow(1); // the first keypad is cancelled: the library view
    ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
    VideoLists& lists = w->lists();
    HeldRepair repair(dir.path());
    const QString cut = QStringLiteral("0004711020240105120000.wmv");
    ASSERT_TRUE(repair.start(lists, saveFolder, cut));

    // A recording runs while the repair ends and the lists are rebuilt from the folder.
    prompts.patientIds.push_back(4711);
    w->startRecordingCommand();
    ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    const QString recorded = w->recordingControl().openedFileName();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(makeSavePath(saveFolder, recorded)).size() > 0; }));
    ASSERT_TRUE(repair.finish());
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().contains(cut));                      // the repair's report
    EXPECT_FALSE(column(lists.allList(), AllFileColumn).contains(recorded)); // not while recording

    w->recordingControl().stopRecording();
    EXPECT_EQ(column(lists.allList(), AllFileColumn).count(recorded), 1);
    EXPECT_EQ(column(lists.idList(), SmallListFileColumn).count(recorded), 1);
    int records = 0;
    for (const VideoRecord& r : lists.library())
        records += r.fileName == recorded ? 1 : 0;
    EXPECT_EQ(records, 1);
}
