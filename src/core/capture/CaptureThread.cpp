#include "core/capture/CaptureThread.h"

#include "core/capture/FrameStamps.h"
#include "core/media/WmvWriter.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

namespace tolvek {

namespace {

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

// The capture thread's side. It holds `lock` whenever it touches anything outside itself: the
// window's flags and picture, the settings, the head pose, the owner's signals. It lets go only
// around the camera's own calls, which may block for good, and around its pauses. An owner that
// gives up on it takes the lock and marks it abandoned; from then on it only closes its own file
// and camera.
struct CaptureThread::Worker
{
    Worker(CaptureThread& owner, CaptureFlags& flags, DisplayFrame& display, Settings& settings,
           FrameSourceFactory sources, HeadOverlay overlay)
        : owner(owner), flags(flags), display(display), settings(settings), sources(std::move(sources)),
          overlay(std::move(overlay)), tick(steadyTickClock()),
          wallClock([] { return QDateTime::currentDateTime(); })
    {
    }

    void run();

    CaptureThread& owner;
    CaptureFlags& flags;
    DisplayFrame& display;
    Settings& settings;
    FrameSourceFactory sources;
    HeadOverlay overlay;
    TickClock tick;
    WallClock wallClock;
    HeadSampler headSampler;

    std::mutex lock;
    bool abandoned = false; // guarded by lock

  private:
    void loop();
    // One turn of the loop; false ends the thread.
    bool turn();
    // Runs a camera call or a pause without the lock; false when the owner gave up meanwhile.
    template <class Call> bool outsideLock(Call&& call)
    {
        m_held.unlock();
        call();
        m_held.lock();
        return !abandoned;
    }
    bool pause(int ms)
    {
        return outsideLock([ms] { sleepMs(ms); });
    }
    bool openCamera(int index);
    void cameraFailed();
    void prepareFrame(cv::Mat& frame, int mode);
    // Closes the file for a restart or a stop asked for since the last look.
    void takeCloseRequests();
    // Opens the recording file and takes the record request, whether the file opened or not.
    void openFile();
    enum CloseMode { KeepRecordingFlag, ClearRecording };
    void closeFile(CloseMode mode = KeepRecordingFlag, bool forRestart = false);
    void writeFrame(const cv::Mat& frame);
    // Logs and reports a head-data failure of the open file, once.
    void headTrackFailed(const QString& name);
    // After the owner gave up: the file and the camera are let go, nothing else is touched.
    void releaseOwnResources();

    std::unique_lock<std::mutex> m_held{lock, std::defer_lock};
    std::unique_ptr<FrameSource> m_source;
    media::WmvWriter m_writer;
    media::HeadTrackWriter m_headTrack;
    media::HeadSample m_headSample; // of the current frame
    int m_fps = 0;
    bool m_headTrackReported = false; // a head-data failure of the open file was reported
    int m_cameraIndex = 0;
    bool m_fileOpen = false;
    QString m_fileName;
    QString m_writeError; // why the open file's last write failed; cleared when a file opens
    int m_width = 0;
    int m_height = 0;
    RecordingPacer m_pacer;
    cv::Mat m_frame;
    cv::Mat m_scaled;
    bool m_overlayFailed = false;
};

CaptureThread::CaptureThread(CaptureFlags& flags, DisplayFrame& display, Settings& settings,
                             FrameSourceFactory sources, HeadOverlay overlay, QObject* parent)
    : QObject(parent), m_worker(std::make_shared<Worker>(*this, flags, display, settings, std::move(sources),
                                                         std::move(overlay))),
      m_thread(QStringLiteral("CaptureThread"), std::chrono::milliseconds(StopWaitMs))
{
}

CaptureThread::~CaptureThread()
{
    m_worker->flags.captureRunning = false;
    if (m_thread.wait(std::chrono::milliseconds(m_stopTimedOut ? 0 : StopWaitMs)))
        return;
    {
        const std::lock_guard guard(m_worker->lock);
        m_worker->abandoned = true;
    }
    // The thread is inside a camera call that does not return; the thread's function holds the
    // worker, and the thread is left to end by itself.
    qWarning("The camera does not answer; its thread is left to end by itself.");
    m_thread.abandon();
}

void CaptureThread::setTickClock(TickClock clock)
{
    if (clock)
        m_worker->tick = std::move(clock);
}

void CaptureThread::setWallClock(WallClock clock)
{
    if (clock)
        m_worker->wallClock = std::move(clock);
}

void CaptureThread::setHeadSampler(HeadSampler sampler)
{
    m_worker->headSampler = std::move(sampler);
}

bool CaptureThread::start()
{
    if (isRunning())
        return false;
    m_stopTimedOut = false;
    m_worker->flags.captureRunning = true;
    m_worker->flags.cameraOpened = false;
    if (!m_thread.start([worker = m_worker](platform::WorkerRun&) { worker->run(); })) {
        m_worker->flags.captureRunning = false;
        return false;
    }
    return true;
}

bool CaptureThread::stop(int timeoutMs)
{
    m_worker->flags.captureRunning = false;
    const bool ended = wait(timeoutMs);
    if (!ended)
        m_stopTimedOut = true;
    return ended;
}

bool CaptureThread::wait(int timeoutMs)
{
    return m_thread.wait(std::chrono::milliseconds(timeoutMs));
}

bool CaptureThread::isRunning() const
{
    return m_thread.isRunning();
}

void CaptureThread::Worker::run()
{
    m_held.lock();
    m_fileOpen = false;
    m_fileName.clear();
    m_overlayFailed = false;
    m_pacer.reset();
    // A stop asked for while no thread ran concerns no file of this run.
    flags.closeRequested = false;
    try {
        loop();
    } catch (const std::exception& e) {
        if (!m_held.owns_lock())
            m_held.lock();
        if (!abandoned) {
            // Nothing in the loop is expected to throw; if something does, end like a lost
            // camera so the window leaves the recording and the file written so far is kept.
            qWarning("Capture thread stopped: %s", e.what());
            const bool hadFile = m_fileOpen;
            closeFile();
            flags.cameraOpened = false;
            flags.captureRunning = false;
            if (hadFile)
                Q_EMIT owner.stopRequested();
        }
    }
    if (abandoned) {
        releaseOwnResources();
        return;
    }
    closeFile();
    if (m_source)
        m_source->release();
    m_source.reset();
    m_writer.close();
    Q_EMIT owner.finished();
    m_held.unlock();
}

void CaptureThread::Worker::releaseOwnResources()
{
    m_held.unlock();
    m_writer.close();
    m_headTrack.close();
    m_fileOpen = false;
    if (m_source)
        m_source->release();
    m_source.reset();
}

bool CaptureThread::Worker::openCamera(int index)
{
    if (m_source && !outsideLock([this] { m_source->release(); }))
        return false;
    m_source.reset();
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto source = sources ? sources(index) : nullptr;
        bool opened = false;
        if (source && !outsideLock([&] { opened = source->open(); })) {
            m_source = std::move(source); // released with the rest when the thread ends
            return false;
        }
        if (opened) {
            m_source = std::move(source);
            return true;
        }
        if (!pause(OpenRetryDelayMs))
            return false;
    }
    return false;
}

void CaptureThread::Worker::cameraFailed()
{
    display.clear();
    Q_EMIT owner.frameReady();
    flags.cameraOpened = false;
    flags.captureRunning = false;
}

void CaptureThread::Worker::loop()
{
    // The size is fixed when the settings are loaded; the live view and the writer rely on it.
    m_width = settings.captureWidth();
    m_height = settings.captureHeight();

    m_cameraIndex = settings.getInt(CameraNumber);
    if (!openCamera(m_cameraIndex)) {
        if (abandoned)
            return;
        settings.setValue(CameraNumber, QStringLiteral("0"));
        m_cameraIndex = 0;
        if (!openCamera(0)) {
            if (!abandoned)
                cameraFailed();
            return;
        }
    }
    flags.cameraOpened = true;
    m_pacer.reset();
    m_pacer.setMaxFrames(RecordingPacer::maxFramesForMinutes(settings.getInt(MaxRecordingMinutes)));

    while (flags.captureRunning) {
        if (!turn())
            return;
    }
}

void CaptureThread::Worker::takeCloseRequests()
{
    if (flags.restartRequested) {
        closeFile(ClearRecording, true);
        flags.recording = false;
        m_pacer.reset();
        // Cleared last: the window finds the closed file reported once it sees the request taken.
        flags.restartRequested = false;
    }
    if (flags.closeRequested.exchange(false))
        closeFile(ClearRecording);
}

bool CaptureThread::Worker::turn()
{
    if (flags.cameraCount == 0) {
        // The camera was given up after a failed read; wait only for the end.
        return pause(IdleSleepMs);
    }

    takeCloseRequests();

    const int wanted = settings.getInt(CameraNumber);
    if (wanted != m_cameraIndex) {
        if (m_fileOpen && flags.recording)
            Q_EMIT owner.restartRequested();
        if (!openCamera(wanted)) {
            if (!abandoned)
                cameraFailed();
            return false;
        }
        m_cameraIndex = wanted;
    }

    bool read = false;
    if (!outsideLock([this, &read] { read = m_source->read(m_frame); }))
        return false;
    if (!read || !toBgr8(m_frame)) {
        // Whoever looks at the live picture must learn that the camera is gone; that includes
        // the recording mode before its file opened or after the writer failed to open one.
        const int mode = flags.windowMode;
        if (m_fileOpen || mode == ModeLive || mode == ModeRecording) {
            closeFile();
            Q_EMIT owner.stopRequested();
            flags.windowMode = ModeLibrary;
            Q_EMIT owner.cameraLost();
            return false;
        }
        flags.cameraCount = 0;
        return true;
    }
    // A stop or restart asked for while the camera was read closes the file before this frame,
    // which may already belong to the next recording, goes into it.
    takeCloseRequests();

    const int mode = flags.windowMode;
    if (mode != ModeRecording && mode != ModeLive) {
        if (m_fileOpen)
            closeFile(ClearRecording);
        return pause(IdleSleepMs);
    }

    cv::Mat& frame = m_frame.cols == m_width && m_frame.rows == m_height ? m_frame : m_scaled;
    if (&frame == &m_scaled)
        cv::resize(m_frame, m_scaled, cv::Size(m_width, m_height), 0, 0, cv::INTER_LINEAR);
    prepareFrame(frame, mode);

    if (flags.liveViewPaused)
        return pause(PausedSleepMs);

    display.shareBgr(frame);
    Q_EMIT owner.frameReady();

    // A request that arrives while a file is open waits until that file has been closed.
    if (flags.recordRequested && !m_fileOpen)
        openFile();

    if (m_fileOpen)
        writeFrame(frame);
    // The live view holds this picture now: the next frame is read or scaled into a new buffer.
    frame.release();
    return true;
}

void CaptureThread::Worker::prepareFrame(cv::Mat& frame, int mode)
{
    stampFrame(frame, mode, wallClock(), flags.currentPatientId.load());
    // Read right before the overlay draws, so the head data tells what the frame shows.
    m_headSample = headSampler ? headSampler() : media::HeadSample{};

    if (overlay) {
        const int posture = settings.contains(Posture, u'1') ? 1 : 2;
        try {
            overlay(frame, posture);
        } catch (const cv::Exception& e) {
            // A picture the overlay cannot draw into (a tiny capture size) must not end the
            // recording; the frame goes out without the head.
            if (!m_overlayFailed)
                qWarning("Head overlay not drawn: %s", e.what());
            m_overlayFailed = true;
        }
    }
}

void CaptureThread::Worker::openFile()
{
    const QString folder = settings.value(SaveFolder);
    const QDateTime now = wallClock();
    // Whole seconds name the file; a name already taken moves on a second at a time, so a
    // second recording of the same patient in the same second never overwrites the first.
    const QDateTime start(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    const QString name = freeVideoFileName(folder, flags.currentPatientId, start);
    const QString path = makeSavePath(folder, name);
    const int fps = settings.getInt(CaptureFps);

    bool opened = false;
    if (fps > 0 && !folder.isEmpty()) {
        media::WmvWriterSettings file;
        file.width = m_width;
        file.height = m_height;
        file.fps = fps;
        // The product mark is in the header from the start, so the stop need not rewrite the file;
        // the data is flushed to the disk every second, so a power cut loses at most about that.
        file.productMark = true;
        file.syncEverySecond = true;
        opened = m_writer.open(path, file);
        if (!opened)
            qWarning("Recording file not opened: %s", qPrintable(m_writer.error()));
    }

    if (opened) {
        m_writeError.clear();
        m_fps = fps;
        m_headTrackReported = false;
        // The head data is an addition to the video: without it the recording goes on.
        if (!m_headTrack.open(media::headTrackPath(path)))
            headTrackFailed(name);
        m_fileOpen = true;
        m_fileName = name;
        flags.recording = true;
        m_pacer.start(tick(), fps);
        flags.recordingElapsedMs = 0;
        // The request is taken before it is reported, so the window may set a new one at once.
        flags.recordRequested = false;
        Q_EMIT owner.recordingOpened(name);
        return;
    }

    m_writer.close();
    // The name was free a moment ago; an empty file the writer left behind would be listed
    // as a broken video.
    const QFileInfo leftover(path);
    if (leftover.exists() && leftover.isFile() && leftover.size() == 0)
        QFile::remove(path);
    m_fileOpen = false;
    flags.recording = false;
    flags.recordRequested = false;
    Q_EMIT owner.recordingOpenFailed(path);
}

void CaptureThread::Worker::closeFile(CloseMode mode, bool forRestart)
{
    if (!m_fileOpen)
        return;
    // The file is reported only once the writer has let it go, so that whoever stamps or moves
    // it next works on the finished file.
    if (!m_writer.close() && m_writeError.isEmpty()) {
        // The last packets, the index or the finished header did not reach the file.
        m_writeError = m_writer.error();
        Q_EMIT owner.recordingWriteFailed(m_fileName, m_writeError);
    }
    if (m_headTrack.isOpen() && !m_headTrack.close())
        headTrackFailed(m_fileName);
    m_fileOpen = false;
    Q_EMIT owner.recordingClosed(m_fileName, m_pacer.framesWritten(), forRestart);
    if (mode == ClearRecording)
        flags.recording = false;
}

void CaptureThread::Worker::headTrackFailed(const QString& name)
{
    if (m_headTrackReported)
        return;
    m_headTrackReported = true;
    const QString reason = m_headTrack.error();
    qWarning("Head data of %s not written: %s", qPrintable(name), qPrintable(reason));
    Q_EMIT owner.headDataWriteFailed(name, reason);
}

void CaptureThread::Worker::writeFrame(const cv::Mat& frame)
{
    const std::int64_t now = tick();
    const RecordingPacer::Step step = m_pacer.onFrame(now);
    for (int i = 0; i < step.writes; ++i) {
        if (!m_writer.write(frame)) {
            // A full disk, a removed drive, an I/O error: the recording ends here, with what
            // reached the file kept, and the user is told why.
            m_writeError = m_writer.error();
            Q_EMIT owner.recordingWriteFailed(m_fileName, m_writeError);
            closeFile(ClearRecording);
            Q_EMIT owner.stopRequested();
            return;
        }
        if (m_headTrack.isOpen()) {
            const long long index = m_writer.framesWritten() - 1;
            m_headTrack.append({index, m_fps > 0 ? double(index) / m_fps : 0.0, m_headSample});
            if (m_headTrack.failed())
                headTrackFailed(m_fileName);
        }
    }
    if (step.limitReached) {
        closeFile();
        Q_EMIT owner.stopRequested();
    }
    if (m_pacer.isRecording()) {
        const std::int64_t elapsed = m_pacer.elapsedMs(now);
        flags.recordingElapsedMs = int(std::clamp<std::int64_t>(elapsed, 0, std::numeric_limits<int>::max()));
    }
}

} // namespace tolvek
