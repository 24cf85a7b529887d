#include "ui/capture/RecordingControl.h"

#include "core/capture/DiskSpaceGuard.h"
#include "core/capture/IdHistory.h"
#include "core/i18n/Messages.h"
#include "core/platform/PowerRequest.h"
#include "core/sensor/HeadOverlay.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/app/ControlIds.h"
#include "ui/app/UserPrompts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QThread>

namespace tolvek {

RecordingControl::RecordingControl(CTolvek2Dlg& window, RecordingServices services)
    : QObject(&window), m_window(window), m_services(std::move(services))
{
    if (!m_services.freeBytes)
        m_services.freeBytes = &DiskSpaceGuard::availableBytes;
    m_diskTimer.setInterval(1000);
    connect(&m_diskTimer, &QTimer::timeout, this, &RecordingControl::checkDiskSpace);
}

void RecordingControl::checkDiskSpace()
{
    CaptureFlags& flags = m_window.flags();
    if (!flags.recording || m_window.windowMode() != ModeRecording) {
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
        m_window.showMessage(QStringLiteral("The save folder %1 is no longer available.\r\nThe recording was stopped.")
                                 .arg(folder),
                             static_cast<int>(UserPrompts::Icon::Error));
    else
        m_window.showMessage(QStringLiteral("The disk of the save folder is almost full (%1 MB left).\r\n"
                                            "The recording was stopped and kept.")
                                 .arg(verdict.availableBytes / (1024 * 1024)),
                             static_cast<int>(UserPrompts::Icon::Warning));
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
    CaptureFlags& flags = m_window.flags();
    if (captureThreadRunning())
        return;
    m_capture.reset();
    m_capture = std::make_unique<CaptureThread>(flags, m_window.displayFrame(), appSettings(), m_services.frameSources,
                                                makeHeadOverlayCallback(m_window.head().poseStore(), appSettings()));
    auto* w = &m_window;
    connect(m_capture.get(), &CaptureThread::frameReady, w, &CTolvek2Dlg::onFrameReady, Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::cameraLost, w, &CTolvek2Dlg::onCameraLost, Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::stopRequested, this, &RecordingControl::stopRecording, Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::restartRequested, this, &RecordingControl::restartRecording,
            Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::recordingOpened, this,
            [this](const QString& name) {
                m_openedName = name;
                m_window.currentVideoName = name;
            },
            Qt::QueuedConnection);
    connect(m_capture.get(), &CaptureThread::recordingClosed, this, [this] { m_fileClosed = true; },
            Qt::DirectConnection);
    connect(m_capture.get(), &CaptureThread::recordingOpenFailed, this,
            [this](const QString& path) {
                m_window.showMessage(QStringLiteral("The recording could not be started: %1 cannot be written.\r\n"
                                                    "Check the save folder.")
                                         .arg(path),
                                     static_cast<int>(UserPrompts::Icon::Error));
            },
            Qt::QueuedConnection);
    flags.cameraOpened = false;
    m_capture->start();
}

void RecordingControl::startSensorLink()
{
    if (m_services.startSensorLink && !m_services.startSensorLink())
        m_window.showMessage(Message(MsgSensorThreadFailed), static_cast<int>(UserPrompts::Icon::Error));
}

void RecordingControl::beginRecordingMode()
{
    m_window.setWindowMode(ModeRecording);
    if (auto* time = qobject_cast<QLabel*>(m_window.control(IDC_TIME_TEXT)))
        time->clear();
    m_window.timer1().start();
}

void RecordingControl::startLiveCapture()
{
    CaptureFlags& flags = m_window.flags();
    m_previousPatientId = flags.currentPatientId;
    if (flags.cameraCount < 1) {
        m_window.showMessage(Message(MsgConnectCamera), static_cast<int>(UserPrompts::Icon::Error));
        m_window.setWindowMode(ModeLibrary);
        return;
    }
    m_window.setWindowMode(ModeLive);
    if (!captureThreadRunning()) {
        startSensorLink();
        startCaptureThread();
    }
    const std::optional<int> id = m_services.askForId ? m_services.askForId() : std::nullopt;
    if (id) {
        m_window.power().acquire(QStringLiteral("Recording an examination"));
        beginRecordingMode();
        flags.currentPatientId = *id;
        Q_EMIT idChosen(*id);
        if (flags.cameraOpened) {
            Q_EMIT slidersResetRequested();
            addToIdHistory(appSettings(), *id);
            m_window.setWindowMode(ModeRecording);
            m_window.setCloseAllowed(0);
            m_openedName.clear();
            flags.recording = false;
            m_fileClosed = false;
            flags.recordRequested = true;
            startDiskWatch();
        } else {
            m_window.power().release();
            m_window.timer1().stop();
            m_window.showMessage(QStringLiteral("Camera Open-error!"), static_cast<int>(UserPrompts::Icon::Error));
            m_window.setWindowMode(ModeLibrary);
        }
        return;
    }
    flags.recordRequested = false;
    flags.recording = false;
    flags.cameraOpened = false;
    if (m_window.playbackVideoName.size() <= 9) {
        flags.currentPatientId = firstHistoryId(appSettings().value(IdHistory));
        Q_EMIT idChosen(flags.currentPatientId);
        m_window.adoptFirstIdVideo();
    }
    m_window.setWindowMode(ModeLibrary);
    m_window.requestShowPlaybackVideo();
}

void RecordingControl::startRecording()
{
    CaptureFlags& flags = m_window.flags();
    if (flags.cameraCount == 0) {
        m_window.showMessage(QStringLiteral("No camera is connected."), static_cast<int>(UserPrompts::Icon::Error));
        return;
    }
    if (flags.recording)
        return;
    m_window.power().acquire(QStringLiteral("Recording an examination"));
    flags.liveViewPaused = false;
    m_window.stopPlayback();
    startSensorLink();
    // A camera failure may have ended the capture thread: start a new one rather than enter the
    // recording mode with nothing to record.
    if (!captureThreadRunning())
        startCaptureThread();
    flags.cameraOpened = true;
    flags.captureRunning = true;
    m_window.setWindowMode(ModeLive);

    m_previousPatientId = flags.currentPatientId;
    const std::optional<int> id = m_services.askForId ? m_services.askForId() : std::nullopt;
    if (id) {
        flags.currentPatientId = *id;
        addToIdHistory(appSettings(), *id);
        Q_EMIT idChosen(*id);
        if (auto* time = qobject_cast<QLabel*>(m_window.control(IDC_TIME_TEXT)))
            time->clear();
        m_window.timer1().start();
        m_openedName.clear();
        m_fileClosed = false;
        flags.recordRequested = true;
        flags.recording = true;
        flags.cameraOpened = false;
        startDiskWatch();
        flags.captureRunning = true;
        m_window.setWindowMode(ModeRecording);
        m_window.setCloseAllowed(0);
        return;
    }
    flags.currentPatientId = m_previousPatientId;
    flags.recordRequested = false;
    flags.recording = false;
    flags.liveViewPaused = true;
    flags.cameraOpened = false;
    m_window.power().release();
    m_window.setWindowMode(ModeLibrary);
    m_window.timer1().stop();
    Q_EMIT slidersResetRequested();
    m_window.requestShowPlaybackVideo();
}

bool RecordingControl::waitForFileClosed(int timeoutMs)
{
    CaptureFlags& flags = m_window.flags();
    QElapsedTimer t;
    t.start();
    while (flags.recording && !m_fileClosed && captureThreadRunning() && t.elapsed() < timeoutMs)
        QThread::msleep(10);
    // Take the capture thread's queued reports (the opened file name) before going on.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return !flags.recording;
}

void RecordingControl::stopRecording()
{
    CaptureFlags& flags = m_window.flags();
    // When the writer could not open the file nothing is recorded or pending, yet the window
    // stands in the recording mode with Quit greyed and Close refused: the stop leads out.
    const bool openFailed = !flags.recording && !flags.recordRequested && m_window.windowMode() == ModeRecording;
    if ((!flags.recording && !openFailed) || !m_capture)
        return;
    m_window.stopPlayback();
    if (m_services.stopSensorLinks)
        m_services.stopSensorLinks();

    // Mode 2 makes the capture thread close the file; wait until it has, rather than guess.
    const bool fileWasRequested = flags.recordRequested.exchange(false);
    m_window.setWindowMode(ModeLibrary);
    m_window.timer1().stop();
    m_diskTimer.stop();
    waitForFileClosed(fileWasRequested ? 0 : 3000);
    flags.recording = false;
    m_window.power().release();
    m_window.setCloseAllowed(1);
    Q_EMIT slidersResetRequested();

    const QString name = m_openedName;
    m_openedName.clear();
    if (name.isEmpty()) {
        // The file never opened (stopped before the first frame, or the writer failed).
        m_window.requestShowPlaybackVideo();
        return;
    }
    const QString path = makeSavePath(appSettings().value(SaveFolder), name);
    if (!QFileInfo::exists(path)) {
        // The save folder went away during the recording: there is nothing to stamp, list or show.
        m_window.requestShowPlaybackVideo();
        return;
    }
    if (m_services.writeCopyrightTag)
        m_services.writeCopyrightTag(path);
    m_window.playbackVideoName = name;
    Q_EMIT recordingFinished(name);
    m_window.setWindowMode(ModeLibrary);
    m_window.update();
}

void RecordingControl::restartRecording()
{
    CaptureFlags& flags = m_window.flags();
    if (!flags.recording || !captureThreadRunning() || !flags.captureRunning)
        return;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    const QString name = m_openedName;
    flags.restartRequested = true;
    for (int i = 0; i < 500 && flags.recording; ++i)
        QThread::msleep(10);
    if (flags.recording)
        return;  // the capture thread did not take the request: keep the file
    if (!name.isEmpty())
        QFile::remove(makeSavePath(appSettings().value(SaveFolder), name));
    m_openedName.clear();
    Q_EMIT slidersResetRequested();
    m_window.setWindowMode(ModeRecording);
    m_window.setCloseAllowed(0);
    m_window.head().rezero();
    m_fileClosed = false;
    flags.recordRequested = true;
    flags.recording = true;
    startDiskWatch();
}

void RecordingControl::startDiskWatch()
{
    m_lastFileSize = 0;
    m_sizeClock.invalidate();
    m_diskTimer.start();
}

void RecordingControl::stopCapture()
{
    CaptureFlags& flags = m_window.flags();
    flags.captureRunning = false;
    flags.cameraOpened = false;
    if (m_capture)
        m_capture->stop(3000);
}

}  // namespace tolvek
