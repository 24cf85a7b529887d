#include "core/capture/CaptureThread.h"

#include "core/capture/WriterFlush.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QFile>
#include <QThread>
#include <QtDebug>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

namespace tolvek {

namespace {

// Burnt-in text: Hershey simplex 0.7, thickness 1, anti-aliased, black on white boxes.
constexpr double TextScale = 0.7;
constexpr int TextThickness = 1;
const cv::Scalar White(255, 255, 255);
const cv::Scalar Black(0, 0, 0);

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void drawText(cv::Mat& frame, const QString& text, cv::Point origin)
{
    cv::putText(frame, text.toStdString(), origin, cv::FONT_HERSHEY_SIMPLEX, TextScale, Black, TextThickness,
                cv::LINE_AA);
}

}  // namespace

void stampFrame(cv::Mat& frame, int mode, const QDateTime& now, int patientId)
{
    if (mode != ModeRecording && mode != ModeLive)
        return;
    const int w = frame.cols;
    const int h = frame.rows;
    const QDate date = now.date();
    const QTime time = now.time();
    cv::rectangle(frame, cv::Point(w, h - 20), cv::Point(w - 295, h), White, cv::FILLED, cv::LINE_8);
    drawText(frame,
             QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%02d", date.year(), date.month(), date.day(),
                               time.hour(), time.minute(), time.second(), time.msec() / 10),
             cv::Point(w - 293, h - 3));
    if (mode == ModeRecording)
        stampIdLabel(frame, patientId);
}

void stampIdLabel(cv::Mat& frame, int patientId)
{
    const int h = frame.rows;
    cv::rectangle(frame, cv::Point(142, h - 20), cv::Point(0, h), White, cv::FILLED, cv::LINE_8);
    drawText(frame, QString::asprintf("ID:%08d", patientId), cv::Point(2, h - 3));
}

CaptureThread::CaptureThread(CaptureFlags& flags, DisplayFrame& display, Settings& settings,
                             FrameSourceFactory sources, HeadOverlay overlay, QObject* parent)
    : QObject(parent),
      m_flags(flags),
      m_display(display),
      m_settings(settings),
      m_sources(std::move(sources)),
      m_overlay(std::move(overlay)),
      m_tick(steadyTickClock()),
      m_wallClock([] { return QDateTime::currentDateTime(); })
{
}

CaptureThread::~CaptureThread()
{
    m_flags.captureRunning = false;
    if (m_thread)
        m_thread->wait();
}

void CaptureThread::setTickClock(TickClock clock)
{
    if (clock)
        m_tick = std::move(clock);
}

void CaptureThread::setWallClock(WallClock clock)
{
    if (clock)
        m_wallClock = std::move(clock);
}

bool CaptureThread::start()
{
    if (isRunning())
        return false;
    if (m_thread) {
        m_thread->wait();
        m_thread.reset();
    }
    m_flags.captureRunning = true;
    m_flags.cameraOpened = false;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("CaptureThread"));
    m_thread->start();
    return true;
}

bool CaptureThread::stop(int timeoutMs)
{
    m_flags.captureRunning = false;
    return wait(timeoutMs);
}

bool CaptureThread::wait(int timeoutMs)
{
    if (!m_thread)
        return true;
    return m_thread->wait(QDeadlineTimer(timeoutMs));
}

bool CaptureThread::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void CaptureThread::run()
{
    m_fileOpen = false;
    m_fileName.clear();
    m_overlayFailed = false;
    m_pacer.reset();
    try {
        loop();
    } catch (const std::exception& e) {
        // Nothing in the loop is expected to throw; if something does, end like a lost camera
        // so the window leaves the recording and the file written so far is kept.
        qWarning("Capture thread stopped: %s", e.what());
        const bool hadFile = m_fileOpen;
        closeFile();
        m_flags.cameraOpened = false;
        m_flags.captureRunning = false;
        if (hadFile)
            Q_EMIT stopRequested();
    }
    closeFile();
    if (m_source)
        m_source->release();
    m_source.reset();
    m_writer.release();
    Q_EMIT finished();
}

bool CaptureThread::openCamera(int index)
{
    if (m_source)
        m_source->release();
    m_source.reset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto source = m_sources ? m_sources(index) : nullptr;
        if (source && source->open()) {
            m_source = std::move(source);
            return true;
        }
        sleepMs(OpenRetryDelayMs);
    }
    return false;
}

void CaptureThread::cameraFailed()
{
    m_display.clear();
    Q_EMIT frameReady();
    m_flags.cameraOpened = false;
    m_flags.captureRunning = false;
}

void CaptureThread::loop()
{
    // The size is fixed when the settings are loaded; the live view and the writer rely on it.
    m_width = m_settings.captureWidth();
    m_height = m_settings.captureHeight();

    m_cameraIndex = m_settings.getInt(CameraNumber);
    if (!openCamera(m_cameraIndex)) {
        m_settings.setValue(CameraNumber, QStringLiteral("0"));
        m_cameraIndex = 0;
        if (!openCamera(0)) {
            cameraFailed();
            return;
        }
    }
    m_flags.cameraOpened = true;
    m_pacer.reset();
    m_pacer.setMaxFrames(RecordingPacer::maxFramesForMinutes(m_settings.getInt(MaxRecordingMinutes)));

    while (m_flags.captureRunning) {
        if (!turn())
            return;
    }
}

bool CaptureThread::turn()
{
    if (m_flags.cameraCount == 0) {
        // The camera was given up after a failed read; wait only for the end.
        sleepMs(IdleSleepMs);
        return true;
    }

    if (m_flags.restartRequested) {
        closeFile(ClearRecording);
        m_flags.recording = false;
        m_flags.restartRequested = false;
        m_pacer.reset();
    }

    const int wanted = m_settings.getInt(CameraNumber);
    if (wanted != m_cameraIndex) {
        if (m_fileOpen && m_flags.recording)
            Q_EMIT restartRequested();
        if (!openCamera(wanted)) {
            cameraFailed();
            return false;
        }
        m_cameraIndex = wanted;
    }

    if (!m_source->read(m_frame) || !toBgr8(m_frame)) {
        // Whoever looks at the live picture must learn that the camera is gone; that includes
        // the recording mode before its file opened or after the writer failed to open one.
        const int mode = m_flags.windowMode;
        if (m_fileOpen || mode == ModeLive || mode == ModeRecording) {
            closeFile();
            Q_EMIT stopRequested();
            m_flags.windowMode = ModeLibrary;
            Q_EMIT cameraLost();
            return false;
        }
        m_flags.cameraCount = 0;
        return true;
    }

    const int mode = m_flags.windowMode;
    if (mode != ModeRecording && mode != ModeLive) {
        if (m_fileOpen)
            closeFile(ClearRecording);
        sleepMs(IdleSleepMs);
        return true;
    }

    cv::Mat& frame = m_frame.cols == m_width && m_frame.rows == m_height ? m_frame : m_scaled;
    if (&frame == &m_scaled)
        cv::resize(m_frame, m_scaled, cv::Size(m_width, m_height), 0, 0, cv::INTER_LINEAR);
    prepareFrame(frame, mode);

    if (m_flags.liveViewPaused) {
        sleepMs(PausedSleepMs);
        return true;
    }

    m_display.shareBgr(frame);
    Q_EMIT frameReady();

    // A request that arrives while a file is open waits until that file has been closed.
    if (m_flags.recordRequested && !m_fileOpen)
        openFile();

    if (m_fileOpen)
        writeFrame(frame);
    // The live view holds this picture now: the next frame is read or scaled into a new buffer.
    frame.release();
    return true;
}

void CaptureThread::prepareFrame(cv::Mat& frame, int mode)
{
    stampFrame(frame, mode, m_wallClock(), m_flags.currentPatientId.load());

    if (m_overlay) {
        const int posture = m_settings.contains(Posture, u'1') ? 1 : 2;
        try {
            m_overlay(frame, posture);
        } catch (const cv::Exception& e) {
            // A picture the overlay cannot draw into (a tiny capture size) must not end the
            // recording; the frame goes out without the head.
            if (!m_overlayFailed)
                qWarning("Head overlay not drawn: %s", e.what());
            m_overlayFailed = true;
        }
    }
}

void CaptureThread::openFile()
{
    const QString folder = m_settings.value(SaveFolder);
    const QDateTime now = m_wallClock();
    // Whole seconds name the file; a name already taken moves on a second at a time, so a
    // second recording of the same patient in the same second never overwrites the first.
    const QDateTime start(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    const QString name = freeVideoFileName(folder, m_flags.currentPatientId, start);
    const QString path = makeSavePath(folder, name);
    const int fps = m_settings.getInt(CaptureFps);

    bool opened = false;
    if (fps > 0 && !folder.isEmpty()) {
        // Every finished packet goes to the file at once, so that a crash or power cut a second
        // into the recording leaves that second on disk rather than an empty file.
        const WriterFlushScope promptFlush;
        try {
            opened = m_writer.open(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG,
                                   cv::VideoWriter::fourcc('W', 'M', 'V', '2'), fps, cv::Size(m_width, m_height),
                                   true);
        } catch (const cv::Exception&) {
            opened = false;
        }
        static std::atomic<bool> warned{false};
        if (opened && !promptFlush.tookEffect() && !warned.exchange(true))
            qWarning("The recording is written in large blocks; a crash may lose its last seconds.");
    }

    if (opened) {
        m_fileOpen = true;
        m_fileName = name;
        m_flags.recording = true;
        m_pacer.start(m_tick(), fps);
        m_flags.recordingElapsedMs = 0;
        // The request is taken before it is reported, so the window may set a new one at once.
        m_flags.recordRequested = false;
        Q_EMIT recordingOpened(name);
        return;
    }

    m_writer.release();
    // The name was free a moment ago; an empty file the writer left behind would be listed
    // as a broken video.
    const QFileInfo leftover(path);
    if (leftover.exists() && leftover.isFile() && leftover.size() == 0)
        QFile::remove(path);
    m_fileOpen = false;
    m_flags.recording = false;
    m_flags.recordRequested = false;
    Q_EMIT recordingOpenFailed(path);
}

void CaptureThread::closeFile(CloseMode mode)
{
    if (!m_fileOpen)
        return;
    // Released before `recording` clears: the window deletes the file of a restart as soon as
    // it sees the flag clear.
    m_writer.release();
    m_fileOpen = false;
    if (mode == ClearRecording)
        m_flags.recording = false;
    Q_EMIT recordingClosed(m_fileName, m_pacer.framesWritten());
}

void CaptureThread::writeFrame(const cv::Mat& frame)
{
    const std::int64_t now = m_tick();
    const RecordingPacer::Step step = m_pacer.onFrame(now);
    for (int i = 0; i < step.writes; ++i)
        m_writer.write(frame);
    if (step.limitReached) {
        closeFile();
        Q_EMIT stopRequested();
    }
    if (m_pacer.isRecording()) {
        const std::int64_t elapsed = m_pacer.elapsedMs(now);
        m_flags.recordingElapsedMs = int(std::clamp<std::int64_t>(elapsed, 0, std::numeric_limits<int>::max()));
    }
}

}  // namespace tolvek
