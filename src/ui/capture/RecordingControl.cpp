#include "ui/capture/RecordingControl.h"

#include "core/capture/DiskSpaceGuard.h"
#include "core/capture/DisplayFrame.h"
#include "core/capture/IdHistory.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/media/HeadTrack.h"
#include "core/platform/DeviceAccess.h"
#include "core/platform/PowerRequest.h"
#include "core/platform/Trash.h"
#include "core/sensor/HeadOverlay.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/DeviceProblemText.h"
#include "ui/shared/UserPrompts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QThread>

namespace tolvek {

RecordingControl::RecordingControl(RecordingWindow window, RecordingServices services)
    : QObject(&window.widget), m_window(window), m_services(std::move(services))
{
    if (!m_services.freeBytes)
        m_services.freeBytes = &DiskSpaceGuard::availableBytes;
    m_diskTimer.setInterval(1000);
    connect(&m_diskTimer, &QTimer::timeout, this, &RecordingControl::checkDiskSpace);
}

void RecordingControl::checkDiskSpace()
{
    CaptureFlags& flags = m_window.state.flags;
    if (!flags.recording || m_window.state.windowMode() != ModeRecording) {
        m_diskTimer.stop();
        return;
    }
    const QString folder = appSettings().value(SaveFolder);
    qint64 rate = 0;
    qint64 available = m_services.freeBytes(folder);
    if (!m_openedName.isEmpty()) {
        const QFileInfo file(makeSavePath(folder, m_openedName));
        // A folder renamed away, or a disk unmounted under its mount point (which then is an
        // empty folder of another disk again), still looks fine by its free space; the file the
        // writer is filling is no longer there.
        if (!file.exists())
            available = -1;
        const qint64 size = file.size();
        if (m_sizeClock.isValid() && m_sizeClock.elapsed() > 0 && size > m_lastFileSize)
            rate = (size - m_lastFileSize) * 1000 / m_sizeClock.elapsed();
        m_lastFileSize = size;
        m_sizeClock.restart();
    }
    const DiskSpaceVerdict verdict = DiskSpaceGuard::judge(available, rate);
    if (verdict.kind == DiskSpaceVerdict::Fine)
        return;
    m_diskTimer.stop();
    stopRecording();
    if (verdict.kind == DiskSpaceVerdict::FolderGone)
        m_window.messages.showMessage(uiText(TxtSaveFolderGone).arg(folder), UserPrompts::Icon::Error);
    else
        m_window.messages.showMessage(uiText(TxtDiskAlmostFull).arg(verdict.availableBytes / (1024 * 1024)),
                                      UserPrompts::Icon::Warning);
}

RecordingControl::~RecordingControl()
{
    stopCapture();
}

bool RecordingControl::captureThreadRunning() const
{
    return m_capture && m_capture->isRunning();
}

void RecordingControl::startCaptureThread()
{
    CaptureFlags& flags = m_window.state.flags;
    if (captureThreadRunning())
        return;
    m_capture.reset();
    m_capture =
        std::make_unique<CaptureThread>(flags, m_window.display, appSettings(), m_services.frameSources,
                                        makeHeadOverlayCallback(m_window.head.poseStore(), appSettings()));
    m_capture->setWallClock(m_services.wallClock);
    m_capture->setHeadSampler([&head = m_window.head] { return head.headSample(); });
    connect(m_capture.get(), &CaptureThread::frameReady, this, &RecordingControl::frameReady,
            Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::cameraLost, this, &RecordingControl::cameraLost,
            Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::stopRequested, this, &RecordingControl::stopRecording,
            Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::restartRequested, this, &RecordingControl::restartRecording,
            Qt::QueuedConnection);
    // The file reports are queued by the thread itself, in order, so that a restart waiting for
    // the thread finds them without handling any other event.
    connect(
        m_capture.get(), &CaptureThread::recordingOpened, this,
        [this](const QString& name) {
            queueFileEvent({name, true, 0, false});
        },
        Qt::DirectConnection);
    connect(
        m_capture.get(), &CaptureThread::recordingClosed, this,
        [this](const QString& name, qint64 written, bool forRestart) {
            queueFileEvent({name, false, written, forRestart});
        },
        Qt::DirectConnection);
    connect(
        m_capture.get(), &CaptureThread::recordingOpenFailed, this,
        [this](const QString& path) {
            m_window.messages.showMessage(uiText(TxtRecordingOpenFailed).arg(path), UserPrompts::Icon::Error);
        },
        Qt::QueuedConnection);
    connect(
        m_capture.get(), &CaptureThread::recordingWriteFailed, this,
        [this](const QString& name, const QString& reason) {
            m_window.messages.showMessage(uiText(TxtRecordingWriteFailed).arg(name, reason),
                                          UserPrompts::Icon::Error);
        },
        Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::finished, this, &RecordingControl::onCaptureThreadEnded,
            Qt::QueuedConnection);
    flags.cameraOpened = false;
    m_capture->start();
}

void RecordingControl::startSensorLink()
{
    if (m_services.startSensorLink && !m_services.startSensorLink())
        m_window.messages.showMessage(Message(MsgSensorThreadFailed), UserPrompts::Icon::Error);
}

void RecordingControl::beginRecordingMode()
{
    if (auto* time = qobject_cast<QLabel*>(windowControl(m_window.widget, IDC_TIME_TEXT)))
        time->clear();
    m_window.modes.setWindowMode(ModeRecording); // timer 1 runs from here
}

void RecordingControl::beginSession()
{
    m_inSession = true;
    m_keptInSession.clear();
    m_openedName.clear();
    m_window.state.closeAllowed = 0;
    m_window.state.flags.recordRequested = true;
    startDiskWatch();
}

void RecordingControl::releaseRecordingHold()
{
    CaptureFlags& flags = m_window.state.flags;
    m_inSession = false;
    flags.recordRequested = false;
    flags.recording = false;
    m_diskTimer.stop();
    m_window.modes.runTimer1(false);
    if (m_services.stopSensorLinks)
        m_services.stopSensorLinks();
    m_window.power.release();
    m_window.state.closeAllowed = 1;
}

QString RecordingControl::cameraOpenErrorText() const
{
    const QString text = uiText(TxtCameraOpenError);
    const QString device = m_services.cameraDevicePath ? m_services.cameraDevicePath() : QString();
    if (device.isEmpty())
        return text;
    return text + QStringLiteral("\r\n") +
           deviceProblemText(platform::diagnoseDeviceOpenFailure(device).problem,
                             {TxtCameraNotFound, TxtCameraNoPermission, TxtCameraBusy}, device);
}

void RecordingControl::startLiveCapture()
{
    CaptureFlags& flags = m_window.state.flags;
    m_previousPatientId = flags.currentPatientId;
    if (flags.cameraCount < 1) {
        m_window.messages.showMessage(Message(MsgConnectCamera), UserPrompts::Icon::Error);
        m_window.modes.setWindowMode(ModeLibrary);
        return;
    }
    m_window.modes.setWindowMode(ModeLive);
    if (!captureThreadRunning()) {
        startSensorLink();
        startCaptureThread();
    }
    const std::optional<int> id = m_services.askForId ? m_services.askForId() : std::nullopt;
    if (id) {
        m_window.power.acquire(uiText(TxtPowerRecording));
        beginRecordingMode();
        flags.currentPatientId = *id;
        Q_EMIT idChosen(*id);
        if (flags.cameraOpened) {
            Q_EMIT slidersResetRequested();
            addToIdHistory(appSettings(), *id);
            m_window.modes.setWindowMode(ModeRecording);
            flags.recording = false;
            beginSession();
        } else {
            releaseRecordingHold();
            m_window.messages.showMessage(cameraOpenErrorText(), UserPrompts::Icon::Error);
            m_window.modes.setWindowMode(ModeLibrary);
        }
        return;
    }
    releaseRecordingHold();
    flags.cameraOpened = false;
    if (m_window.state.playbackVideoName.size() <= 9) {
        flags.currentPatientId = firstHistoryId(appSettings().value(IdHistory));
        Q_EMIT idChosen(flags.currentPatientId);
        m_window.video.adoptFirstIdVideo();
    }
    m_window.modes.setWindowMode(ModeLibrary);
    m_window.video.requestShowPlaybackVideo();
}

void RecordingControl::startRecording()
{
    CaptureFlags& flags = m_window.state.flags;
    if (flags.cameraCount == 0) {
        m_window.messages.showMessage(uiText(TxtNoCameraConnected), UserPrompts::Icon::Error);
        return;
    }
    if (m_inSession)
        return;
    m_window.power.acquire(uiText(TxtPowerRecording));
    flags.liveViewPaused = false;
    m_window.video.stopPlayback();
    startSensorLink();
    // A camera failure may have ended the capture thread: start a new one rather than enter the
    // recording mode with nothing to record. A running thread has its camera, or opens it.
    if (captureThreadRunning())
        flags.cameraOpened = true;
    else
        startCaptureThread();
    flags.captureRunning = true;
    m_window.modes.setWindowMode(ModeLive);

    m_previousPatientId = flags.currentPatientId;
    const std::optional<int> id = m_services.askForId ? m_services.askForId() : std::nullopt;
    if (id && !captureThreadRunning()) {
        // The camera did not come up while the ID was entered.
        releaseRecordingHold();
        m_window.messages.showMessage(cameraOpenErrorText(), UserPrompts::Icon::Error);
        m_window.modes.setWindowMode(ModeLibrary);
        m_window.video.requestShowPlaybackVideo();
        return;
    }
    if (id) {
        flags.currentPatientId = *id;
        addToIdHistory(appSettings(), *id);
        Q_EMIT idChosen(*id);
        if (auto* time = qobject_cast<QLabel*>(windowControl(m_window.widget, IDC_TIME_TEXT)))
            time->clear();
        flags.recording = true;
        flags.cameraOpened = false;
        beginSession();
        flags.captureRunning = true;
        m_window.modes.setWindowMode(ModeRecording);
        return;
    }
    flags.currentPatientId = m_previousPatientId;
    releaseRecordingHold();
    flags.liveViewPaused = true;
    flags.cameraOpened = false;
    m_window.modes.setWindowMode(ModeLibrary);
    Q_EMIT slidersResetRequested();
    m_window.video.requestShowPlaybackVideo();
}

void RecordingControl::stopRecording()
{
    CaptureFlags& flags = m_window.state.flags;
    // Also when the writer could not open the file: nothing is recorded or pending, yet the
    // window stands in the recording mode with Quit greyed and Close refused; the stop leads out.
    if (!m_inSession)
        return;
    m_window.video.stopPlayback();
    // Mode 2 and the close request make the capture thread close the file at its next look; it
    // reports the file once the writer has let it go, and only then is the file stamped and listed.
    flags.closeRequested = true;
    m_window.modes.setWindowMode(ModeLibrary);
    releaseRecordingHold();
    Q_EMIT slidersResetRequested();

    takeFileEvents();
    const QString kept = std::exchange(m_keptInSession, QString());
    if (!kept.isEmpty())
        showRecording(kept); // closed already, at the frame limit
    else if (m_openedName.isEmpty())
        m_window.video.requestShowPlaybackVideo(); // no file yet; one still opening is shown when it closes
}

void RecordingControl::restartRecording()
{
    CaptureFlags& flags = m_window.state.flags;
    if (!m_inSession || !flags.recording || !captureThreadRunning() || !flags.captureRunning)
        return;
    flags.restartRequested = true;
    // Waits for the thread to take the request without handling any event, so that a stop
    // queued meanwhile runs after the restart and not inside it.
    for (int i = 0; i < 500 && flags.restartRequested && captureThreadRunning(); ++i)
        QThread::msleep(10);
    if (flags.restartRequested.exchange(false))
        return; // not taken: the recording goes on in its file
    Q_EMIT slidersResetRequested();
    m_window.modes.setWindowMode(ModeRecording);
    m_window.head.rezero();
    // Only the request: the capture thread sets `recording` once the new file is open, so a
    // second restart before that finds nothing to restart.
    beginSession();
    // The file just closed goes to the trash, last: its messages may run other events.
    takeFileEvents();
}

void RecordingControl::queueFileEvent(FileEvent event)
{
    {
        const std::lock_guard lock(m_eventMutex);
        m_events.push_back(std::move(event));
    }
    QMetaObject::invokeMethod(this, &RecordingControl::takeFileEvents, Qt::QueuedConnection);
}

void RecordingControl::takeFileEvents()
{
    std::vector<FileEvent> events;
    {
        const std::lock_guard lock(m_eventMutex);
        events.swap(m_events);
    }
    for (const FileEvent& e : events) {
        if (e.opened) {
            m_openedName = e.name;
            m_window.state.currentVideoName = e.name;
            continue;
        }
        if (e.name == m_openedName)
            m_openedName.clear();
        if (e.forRestart)
            discardRecording(e.name);
        else
            keepRecording(e.name, e.framesWritten);
    }
}

void RecordingControl::keepRecording(const QString& name, qint64 framesWritten)
{
    const QString path = makeSavePath(appSettings().value(SaveFolder), name);
    if (!QFileInfo::exists(path))
        return; // the save folder went away during the recording: nothing to stamp, list or show
    if (framesWritten <= 0) {
        // Stopped before its first picture was written: a header the library would report as
        // an empty leftover. It goes where the user can still find it.
        if (platform::moveToTrash(path)) {
            trashHeadData(path);
            m_window.messages.showMessage(uiText(TxtRecordingEmptyTrashed).arg(name),
                                          UserPrompts::Icon::Information);
            return;
        }
    }
    if (m_services.writeCopyrightTag)
        m_services.writeCopyrightTag(path);
    Q_EMIT recordingListed(name);
    if (m_inSession)
        m_keptInSession = name;
    else if (m_window.state.windowMode() == ModeLibrary)
        showRecording(name);
}

void RecordingControl::trashHeadData(const QString& videoPath)
{
    // The video went; its head data follows it. One that stays behind is only logged: it can
    // never be taken for a video, and a new recording never takes its name.
    QString error;
    if (!media::trashHeadTrack(videoPath, &error))
        qWarning("Head data of %s not moved to the trash: %s", qPrintable(videoPath), qPrintable(error));
}

void RecordingControl::discardRecording(const QString& name)
{
    const QString path = makeSavePath(appSettings().value(SaveFolder), name);
    if (!QFileInfo::exists(path)) {
        trashHeadData(path);
        return;
    }
    if (platform::moveToTrash(path)) {
        trashHeadData(path);
        return;
    }
    // Nothing is lost to a key pressed by mistake: what the trash refused stays a video.
    if (m_services.writeCopyrightTag)
        m_services.writeCopyrightTag(path);
    Q_EMIT recordingListed(name);
    m_window.messages.showMessage(uiText(TxtRestartedNotTrashed).arg(name), UserPrompts::Icon::Warning);
}

void RecordingControl::showRecording(const QString& name)
{
    m_window.state.playbackVideoName = name;
    Q_EMIT recordingFinished(name);
    m_window.modes.setWindowMode(ModeLibrary);
    m_window.video.repaintPicture();
}

void RecordingControl::onCaptureThreadEnded()
{
    if (!m_inSession || captureThreadRunning())
        return;
    const bool cameraFailed = !m_window.state.flags.cameraOpened;
    stopRecording();
    if (cameraFailed)
        m_window.messages.showMessage(cameraOpenErrorText(), UserPrompts::Icon::Error);
}

void RecordingControl::startDiskWatch()
{
    m_lastFileSize = 0;
    m_sizeClock.invalidate();
    m_diskTimer.start();
}

void RecordingControl::stopCapture()
{
    CaptureFlags& flags = m_window.state.flags;
    flags.captureRunning = false;
    flags.cameraOpened = false;
    // A thread that does not end in time hangs in a camera call: it is let go, so that the
    // window closes whatever the camera does.
    if (m_capture && !m_capture->stop(CaptureThread::StopWaitMs))
        m_capture.reset();
}

} // namespace tolvek
