// The recording road through the real capture thread with the simulated eye camera.
#include "core/capture/SimulatedEyeSource.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/library/RecordingRecovery.h"
#include "core/media/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/GyroBoardProcess.h"
#include "support/HeldCamera.h"
#include "support/HeldRepair.h"
#include "support/MainWindowFixture.h"
#include "support/ScopedLanguage.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"
#include "ui/shared/ControlIds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QThread>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <memory>
#include <mutex>

using namespace tolvek;
using namespace tolvek::test;

namespace {

class RecordingControlTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
        useOwnTrash();
        appSettings().setValue(CaptureSize, QStringLiteral("96,72"));
        appSettings().updateCaptureSize();
    }

    void makeWindow(int cameras)
    {
        MainWindowServices services = this->services(cameras);
        services.recording.frameSources = cameraWorks ? camera.sources() : [](int) { return nullptr; };
        services.recording.wallClock = camera.wallClock();
        services.recording.cameraDevicePath = [this] { return cameraDevice; };
        services.recording.freeBytes = [this](const QString&) { return freeBytes; };
        services.recording.writeCopyrightTag = [this](const QString& path) {
            stamped << path;
            writeCopyrightTag(path);
        };
        prompts.beforeKeypadAnswer = [this] {
            // The examiner answers once the camera is up, or once it has failed to come up.
            waitUntil([this] {
                return w && (w->flags().cameraOpened.load() || !w->recordingControl().captureThreadRunning());
            });
        };
        showWindow(std::move(services));
    }

    QStringList videos() const
    {
        return QDir(saveFolder).entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name);
    }
    QStringList listed() const { return column(w->lists().allList(), AllFileColumn); }

    // Starts the first recording for id and waits until its file is open.
    void startFirstRecording(int id)
    {
        prompts.patientIds.push_back(id);
        makeWindow(1);
        ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
        ASSERT_EQ(w->windowMode(), ModeRecording);
        ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    }

    // Waits until the open recording has run for ms, so pictures were written after the warm-up.
    bool recordedFor(int ms)
    {
        return waitUntil([this, ms] { return w->flags().recordingElapsedMs >= ms; });
    }
    // Stops the recording and waits until its file has been closed, stamped and listed.
    void stopAndWaitListed()
    {
        const QString name = w->recordingControl().openedFileName();
        ASSERT_FALSE(name.isEmpty());
        w->recordingControl().stopRecording();
        ASSERT_TRUE(waitUntil([&] { return listed().contains(name); }));
    }

    // Counts the files the capture thread closes, with the frames written into each.
    void watchClosedFiles()
    {
        QObject::connect(
            w->recordingControl().captureThread(), &CaptureThread::recordingClosed, w.get(),
            [this](const QString& name, qint64 written) {
                std::lock_guard lock(closedMutex);
                closedFiles.push_back({name, written});
            },
            Qt::DirectConnection);
    }
    std::vector<std::pair<QString, qint64>> closed() const
    {
        std::lock_guard lock(closedMutex);
        return closedFiles;
    }

    // Outside a recording the window holds nothing of one: no keep-awake request, no elapsed
    // time, Close and Quit allowed, no sensor link.
    void expectNothingOfARecordingHeld()
    {
        EXPECT_EQ(w->windowMode(), ModeLibrary);
        EXPECT_EQ(w->closeAllowed(), 1);
        EXPECT_TRUE(w->control(IDC_QUIT)->isEnabled());
        EXPECT_FALSE(w->power().active());
        EXPECT_FALSE(w->timer1().isActive());
        EXPECT_FALSE(w->sensorLink().isAlive());
        EXPECT_FALSE(w->flags().recordRequested.load());
    }

    const QString& saveFolder = folder;
    std::unique_ptr<CTolvek2Dlg>& w = window;
    HeldCamera camera{96, 72, 60};
    bool cameraWorks = true;
    QString cameraDevice; // the device file the camera-open error diagnoses
    QStringList stamped;
    qint64 freeBytes = 10LL << 30;
    mutable std::mutex closedMutex;
    std::vector<std::pair<QString, qint64>> closedFiles;
};

} // namespace

TEST_F(RecordingControlTest, AcceptedIdRecordsAStampedFileThatStopShows)
{
    startFirstRecording(4567);
    EXPECT_EQ(w->closeAllowed(), 0);
    EXPECT_FALSE(w->control(IDC_QUIT)->isEnabled());
    EXPECT_TRUE(appSettings().value(IdHistory).startsWith(QStringLiteral("00004567,")));
    QString finished;
    QObject::connect(&w->recordingControl(), &RecordingControl::recordingFinished,
                     [&](const QString& n) { finished = n; });
    // The file carries its product mark before it is listed: the stamp replaces the file, and
    // the list and the player must find the stamped one.
    QString copyrightWhenListed;
    QObject::connect(&w->recordingControl(), &RecordingControl::recordingListed,
                     [&](const QString& n) { copyrightWhenListed = copyrightOf(path(n)); });
    ASSERT_TRUE(recordedFor(700));

    w->recordingControl().stopRecording();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->closeAllowed(), 1);
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
    ASSERT_EQ(videos().size(), 1);
    const QString name = videos().first();
    EXPECT_TRUE(name.startsWith(QStringLiteral("00004567")));
    EXPECT_TRUE(isVideoFileName(name));
    EXPECT_EQ(finished, name);
    EXPECT_EQ(w->state().playbackVideoName, name);
    EXPECT_EQ(stamped, QStringList{makeSavePath(saveFolder, name)});
    EXPECT_EQ(copyrightWhenListed, QStringLiteral("Tolvek"));
    EXPECT_GT(countDecodedFrames(makeSavePath(saveFolder, name)), 0);
    QFile f(makeSavePath(saveFolder, name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8192).contains(QByteArray("T\0o\0l\0v\0e\0k\0", 12))); // the product mark

    // A second stop does nothing.
    w->recordingControl().stopRecording();
    EXPECT_EQ(videos().size(), 1);
}

TEST_F(RecordingControlTest, RestartMovesThePartialFileToTheTrashAndRecordsANewOne)
{
    startFirstRecording(123);
    ASSERT_TRUE(recordedFor(800));
    const QString first = w->recordingControl().openedFileName();
    camera.advanceWallClock(std::chrono::seconds(1)); // the new file starts a second later
    w->recordingControl().restartRecording();

    // An accidental restart costs nothing: the partial recording is whole in the trash.
    EXPECT_FALSE(QFile::exists(path(first)));
    ASSERT_TRUE(QFile::exists(trashed(first)));
    EXPECT_GT(countDecodedFrames(trashed(first)), 0);
    EXPECT_FALSE(listed().contains(first));
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->closeAllowed(), 0);
    EXPECT_TRUE(w->power().active());

    ASSERT_TRUE(waitUntil([&] {
        const QString n = w->recordingControl().openedFileName();
        return !n.isEmpty() && n != first;
    }));
    const QString second = w->recordingControl().openedFileName();
    EXPECT_GT(second, first); // a later start time
    ASSERT_TRUE(recordedFor(800));
    stopAndWaitListed();
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
    EXPECT_EQ(w->state().playbackVideoName, newer);
    auto* ids = qobject_cast<QTreeWidget*>(w->control(IDC_ID_LIST));
    ASSERT_EQ(ids->selectedItems().size(), 1);
    EXPECT_EQ(ids->selectedItems().first()->text(1), newer);
    EXPECT_FALSE(w->flags().recordRequested.load());
    EXPECT_EQ(videos().size(), 2); // nothing recorded
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
    ASSERT_TRUE(recordedFor(700));
    stopAndWaitListed();
    prompts.patientIds.push_back(2);
    w->recordingControl().startRecording();
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->currentPatientId(), 2);
    // A recording started with the record button is as safe from a stray close as the first.
    EXPECT_EQ(w->closeAllowed(), 0);
    EXPECT_FALSE(w->close());
    EXPECT_EQ(prompts.beeps, 1);
    ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    ASSERT_TRUE(recordedFor(700));
    stopAndWaitListed();
    const QStringList names = videos();
    ASSERT_EQ(names.size(), 2);
    EXPECT_TRUE(names[0].startsWith(QStringLiteral("00000001")));
    EXPECT_TRUE(names[1].startsWith(QStringLiteral("00000002")));
}

TEST_F(RecordingControlTest, LowDiskSpaceStopsTheRecordingCleanlyAndSaysSo)
{
    startFirstRecording(55);
    ASSERT_TRUE(recordedFor(700));
    const QString name = w->recordingControl().openedFileName();
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeRecording); // plenty of room: nothing happens

    freeBytes = 3 << 20;
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->closeAllowed(), 1);
    ASSERT_TRUE(waitUntil([&] { return listed().contains(name); }));
    EXPECT_EQ(videos(), QStringList{name});
    EXPECT_GT(countDecodedFrames(path(name)), 0);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().startsWith(
        QStringLiteral("The disk of the save folder is almost full (3 MB left).")));
}

TEST_F(RecordingControlTest, VanishedSaveFolderStopsTheRecording)
{
    startFirstRecording(56);
    freeBytes = -1;
    w->recordingControl().checkDiskSpaceNow();
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral("The save folder %1 is no longer available.\r\nThe recording was stopped.")
                  .arg(saveFolder));
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

    stopAndWaitListed();
    EXPECT_FALSE(w->sensorLink().isAlive()); // the stop ends the link
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
    EXPECT_GT(change, 2.0); // mean change per channel: the wire drawing moved
}

TEST_F(RecordingControlTest, StopWithAStalledCameraFinishesTheFileOnlyOnceTheWriterHasClosedIt)
{
    startFirstRecording(4711);
    watchClosedFiles();
    const QString name = w->recordingControl().openedFileName();
    ASSERT_TRUE(recordedFor(1000));
    camera.stallReads();
    ASSERT_TRUE(waitUntil([this] { return camera.stalled(); }));

    w->recordingControl().stopRecording();
    // The writer still holds the file: it is neither stamped nor listed yet, while the window
    // has left the recording.
    ASSERT_TRUE(camera.stalled());
    EXPECT_TRUE(stamped.isEmpty());
    EXPECT_FALSE(listed().contains(name));
    expectNothingOfARecordingHeld();

    camera.resume();
    ASSERT_TRUE(waitUntil([this] { return stamped.size() == 1 && closed().size() == 1; }));
    const qint64 written = closed()[0].second;
    EXPECT_GT(written, 0);
    EXPECT_EQ(stamped, QStringList{path(name)});
    EXPECT_EQ(listed(), QStringList{name});
    EXPECT_EQ(w->state().playbackVideoName, name);
    EXPECT_EQ(copyrightOf(path(name)), QStringLiteral("Tolvek"));
    // The header the writer finished is the one on disk, and so is every frame.
    EXPECT_EQ(inspectRecording(path(name)).state, RecordingState::Finished);
    EXPECT_EQ(countDecodedFrames(path(name)), written);
}

TEST_F(RecordingControlTest, StopWhileTheFileOpensLeavesNoFileUnlistedOrUnstamped)
{
    camera.holdFileOpening();
    prompts.patientIds.push_back(77);
    makeWindow(1);
    ASSERT_TRUE(waitUntil([this] { return camera.openingHeld(); }));
    watchClosedFiles();

    w->recordingControl().stopRecording();
    camera.resume();
    ASSERT_TRUE(waitUntil([this] { return closed().size() == 1; }));
    const auto [name, written] = closed()[0];
    // Settled once the file is stamped, or has left the save folder.
    waitUntil([&] { return stamped.contains(path(name)) || !QFile::exists(path(name)); },
              std::chrono::seconds(5));

    if (QFile::exists(path(name))) {
        EXPECT_EQ(stamped, QStringList{path(name)});
        EXPECT_TRUE(listed().contains(name));
        EXPECT_EQ(copyrightOf(path(name)), QStringLiteral("Tolvek"));
    } else {
        // It holds no picture: it is in the trash, and the user was told.
        EXPECT_EQ(written, 0);
        EXPECT_TRUE(QFile::exists(trashed(name)));
        ASSERT_FALSE(prompts.messages.isEmpty());
        EXPECT_TRUE(prompts.messages.last().contains(name)) << prompts.messages.last().toStdString();
    }
    expectNothingOfARecordingHeld();
}

TEST_F(RecordingControlTest, StopQueuedBeforeARestartRunsAfterIt)
{
    startFirstRecording(5);
    ASSERT_TRUE(recordedFor(800));
    const QString first = w->recordingControl().openedFileName();

    // The capture thread asks for a stop (the frame limit) just before the examiner presses F1.
    Q_EMIT w->recordingControl().captureThread()->stopRequested();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(w.get(), &f1);

    // The restart has run whole: a new recording with everything a recording holds.
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->closeAllowed(), 0);
    EXPECT_TRUE(w->power().active());
    EXPECT_TRUE(w->timer1().isActive());
    EXPECT_TRUE(QFile::exists(trashed(first)));

    // Then the stop ends that one as any stop does.
    ASSERT_TRUE(waitUntil([this] { return w->windowMode() == ModeLibrary; }));
    expectNothingOfARecordingHeld();
}

TEST_F(RecordingControlTest, QuitClosesTheWindowWhileTheCameraHangsAndTheThreadEndsLater)
{
    makeWindow(1); // the ID entry is cancelled: the library, with the camera running
    ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
    ASSERT_TRUE(w->recordingControl().captureThreadRunning());
    camera.stallReads();
    ASSERT_TRUE(waitUntil([this] { return camera.stalled(); }));

    w->quitApplication();
    w.reset();
    // The window is gone while the camera read still hangs.
    EXPECT_TRUE(camera.stalled());

    // When the read returns, the thread left behind lets the camera go and ends.
    camera.resume();
    EXPECT_TRUE(waitUntil([this] { return camera.released(); }));
}

TEST_F(RecordingControlTest, FailedStartsGiveBackKeepAwakeCloseAndTheSensorLink)
{
    GyroBoardProcess board(QStringLiteral("turn"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    struct Case
    {
        const char* name;
        bool cameraWorks;
        std::optional<int> firstEntry;  // the ID entry at start-up; nothing: cancelled
        bool recordButton;              // then the record button is pressed
        std::optional<int> secondEntry; // and its ID entry answered
        int openErrors;                 // "Camera Open-error!" shown
    };
    const Case cases[] = {
        {"camera does not open, first ID accepted", false, 11, false, std::nullopt, 1},
        {"first ID entry cancelled", true, std::nullopt, false, std::nullopt, 0},
        {"record button, ID entry cancelled", true, std::nullopt, true, std::nullopt, 0},
        {"record button, camera does not open", false, std::nullopt, true, 12, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        appSettings().setValue(SensorMode, QStringLiteral("1"));
        appSettings().setValue(ComPort, board.slavePath());
        cameraWorks = c.cameraWorks;
        prompts.messages.clear();
        prompts.keypadRuns = 0;
        prompts.patientIds = {c.firstEntry};
        makeWindow(1);
        ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
        if (c.recordButton) {
            prompts.patientIds = {c.secondEntry};
            w->startRecordingCommand();
            ASSERT_EQ(prompts.keypadRuns, 2);
        }
        QCoreApplication::processEvents();
        expectNothingOfARecordingHeld();
        EXPECT_EQ(prompts.messages.count(QStringLiteral("Camera Open-error!")), c.openErrors);
        w.reset();
    }
}

TEST_F(RecordingControlTest, ARepairEndingDuringARecordingListsTheRecordingOnce)
{
    makeWindow(1); // the first keypad is cancelled: the library view
    ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
    VideoLists& lists = w->lists();
    HeldRepair repair(dir.path());
    const QString cut = QStringLiteral("0004711020240105120000.wmv");
    ASSERT_TRUE(repair.start(lists, w->tools(), saveFolder, cut));

    // A recording runs while the repair ends and the lists are rebuilt from the folder.
    prompts.patientIds.push_back(4711);
    w->startRecordingCommand();
    ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    const QString recorded = w->recordingControl().openedFileName();
    ASSERT_TRUE(recordedFor(300)); // frames in the file, so that the stop keeps it
    ASSERT_TRUE(repair.finish());
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.messages.last().contains(cut));                      // the repair's report
    EXPECT_FALSE(column(lists.allList(), AllFileColumn).contains(recorded)); // not while recording

    stopAndWaitListed();
    EXPECT_EQ(column(lists.allList(), AllFileColumn).count(recorded), 1);
    EXPECT_EQ(column(lists.idList(), SmallListFileColumn).count(recorded), 1);
    int records = 0;
    for (const VideoRecord& r : lists.library())
        records += r.fileName == recorded ? 1 : 0;
    EXPECT_EQ(records, 1);
}

TEST_F(RecordingControlTest, ACameraThatDoesNotOpenIsReportedWithItsLikelyCause)
{
    const ScopedLanguage english(English);
    makeWindow(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->recordingControl().cameraOpenErrorText(), uiText(TxtCameraOpenError)); // no device known
    cameraDevice = dir.file(QStringLiteral("video4"));                                  // unplugged
    EXPECT_EQ(w->recordingControl().cameraOpenErrorText(), uiText(TxtCameraOpenError) +
                                                               QStringLiteral("\r\n") +
                                                               uiText(TxtCameraNotFound).arg(cameraDevice));
    ASSERT_TRUE(dir.write(QStringLiteral("video4"), "")); // there and open to us: held by another program
    EXPECT_EQ(w->recordingControl().cameraOpenErrorText(),
              uiText(TxtCameraOpenError) + QStringLiteral("\r\n") + uiText(TxtCameraBusy).arg(cameraDevice));
    EXPECT_TRUE(w->recordingControl().cameraOpenErrorText().startsWith(QStringLiteral("Camera Open-error!")));
}
