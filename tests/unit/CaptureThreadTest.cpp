#include "core/capture/CaptureThread.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/HeadTrack.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

using namespace tolvek;
using tolvek::test::waitUntil;

namespace {

constexpr int Width = 320;
constexpr int Height = 240;
constexpr double CameraFps = 50.0; // 20 ms per frame on the virtual clock
constexpr int FileFps = 25;

// Stands in for a camera that is unplugged after a number of frames.
class FailingSource : public FrameSource
{
  public:
    FailingSource(std::unique_ptr<FrameSource> inner, int goodReads)
        : m_inner(std::move(inner)), m_left(goodReads)
    {
    }
    bool open() override { return m_inner->open(); }
    bool isOpened() const override { return m_inner->isOpened(); }
    bool read(cv::Mat& bgr) override { return m_left-- > 0 && m_inner->read(bgr); }
    void release() override { m_inner->release(); }
    cv::Size frameSize() const override { return m_inner->frameSize(); }
    double nominalFps() const override { return m_inner->nominalFps(); }

  private:
    std::unique_ptr<FrameSource> m_inner;
    int m_left;
};

// What the thread reported; filled on the capture thread through direct connections.
struct Events
{
    mutable std::mutex mutex;
    std::vector<std::string> log;
    QStringList opened;
    QStringList openFailed;
    std::vector<std::pair<QString, qint64>> closed;
    std::atomic<int> frames{0};
    std::atomic<bool> finished{false};

    void add(const std::string& e)
    {
        std::lock_guard lock(mutex);
        log.push_back(e);
    }
    std::vector<std::string> snapshot() const
    {
        std::lock_guard lock(mutex);
        return log;
    }
    std::size_t closedCount() const
    {
        std::lock_guard lock(mutex);
        return closed.size();
    }
    std::pair<QString, qint64> closedAt(std::size_t i) const
    {
        std::lock_guard lock(mutex);
        return closed.at(i);
    }
    QString openedAt(qsizetype i) const
    {
        std::lock_guard lock(mutex);
        return opened.value(i);
    }
    qsizetype openedCount() const
    {
        std::lock_guard lock(mutex);
        return opened.size();
    }

    void connectTo(CaptureThread& t)
    {
        QObject::connect(&t, &CaptureThread::frameReady, [this] { ++frames; });
        QObject::connect(&t, &CaptureThread::stopRequested, [this] { add("stopRequested"); });
        QObject::connect(&t, &CaptureThread::cameraLost, [this] { add("cameraLost"); });
        QObject::connect(&t, &CaptureThread::restartRequested, [this] { add("restartRequested"); });
        QObject::connect(&t, &CaptureThread::recordingOpened, [this](const QString& name) {
            add("opened");
            std::lock_guard lock(mutex);
            opened.append(name);
        });
        QObject::connect(&t, &CaptureThread::recordingOpenFailed, [this](const QString& path) {
            add("openFailed");
            std::lock_guard lock(mutex);
            openFailed.append(path);
        });
        QObject::connect(&t, &CaptureThread::recordingClosed, [this](const QString& name, qint64 written) {
            add("closed");
            std::lock_guard lock(mutex);
            closed.emplace_back(name, written);
        });
        QObject::connect(&t, &CaptureThread::finished, [this] {
            add("finished");
            finished = true;
        });
    }
};

int countFrames(const QString& path)
{
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    if (!cap.isOpened())
        return -1;
    int n = 0;
    cv::Mat f;
    while (cap.read(f))
        ++n;
    return n;
}

// A capture thread on simulated cameras with its flags, picture, settings and a temp save folder.
class CaptureRig
{
  public:
    CaptureRig()
    {
        EXPECT_TRUE(m_dir.isValid());
        m_settings.resetToDefaults();
        m_settings.setValue(CaptureSize, QStringLiteral("%1,%2").arg(Width).arg(Height));
        m_settings.updateCaptureSize();
        m_settings.setValue(CaptureFps, QString::number(FileFps));
        m_settings.setValue(SaveFolder, m_dir.path());
        m_flags.cameraCount = 1;
        m_flags.windowMode = ModeLive;
        m_flags.currentPatientId = 123;
    }

    ~CaptureRig()
    {
        if (m_thread) {
            EXPECT_TRUE(m_thread->stop(30000));
        }
    }

    // Simulated cameras at index 0 and 1 (or those in `openable`), each failing after goodReads.
    FrameSourceFactory simCameras(cv::Size size = {Width, Height}, int goodReads = -1,
                                  std::set<int> openable = {0, 1})
    {
        return [this, size, goodReads, openable](int index) -> std::unique_ptr<FrameSource> {
            {
                std::lock_guard lock(m_factoryMutex);
                m_factoryCalls.push_back(index);
            }
            if (!openable.count(index))
                return nullptr;
            SimulatedEyeSource::Options o;
            o.width = size.width;
            o.height = size.height;
            o.fps = CameraFps;
            o.seed = std::uint32_t(index + 1);
            o.virtualClock = &m_clock;
            auto sim = std::make_unique<SimulatedEyeSource>(o);
            if (goodReads < 0)
                return sim;
            return std::make_unique<FailingSource>(std::move(sim), goodReads);
        };
    }

    CaptureThread& startThread(FrameSourceFactory factory)
    {
        m_thread = std::make_unique<CaptureThread>(
            m_flags, m_display, m_settings, std::move(factory), [this](cv::Mat& bgr, int posture) {
                m_lastPosture = posture;
                if (m_paintOverlay)
                    cv::rectangle(bgr, {0, 0}, {84, 84}, {0, 0, 255}, cv::FILLED);
            });
        m_thread->setTickClock(m_clock.tickClock());
        m_thread->setWallClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 500)); });
        if (m_headSampler)
            m_thread->setHeadSampler(m_headSampler);
        m_events.connectTo(*m_thread);
        EXPECT_TRUE(m_thread->start());
        return *m_thread;
    }

    // Sets the record request as the window does when an ID is accepted, and waits for the file.
    QString startRecording()
    {
        const qsizetype before = m_events.openedCount();
        m_flags.windowMode = ModeRecording;
        m_flags.recordRequested = true;
        EXPECT_TRUE(waitUntil([&] { return m_events.openedCount() > before; }));
        EXPECT_TRUE(m_flags.recording);
        EXPECT_FALSE(m_flags.recordRequested);
        return m_events.openedAt(before);
    }

    std::vector<int> factoryCalls()
    {
        std::lock_guard lock(m_factoryMutex);
        return m_factoryCalls;
    }

    // Frames a 50 fps camera gives a 25 fps file once the virtual recording time is elapsedMs:
    // the file opens at camera frame 1, pacing starts at frame 16.
    static qint64 expectedWritten(int elapsedMs)
    {
        const int seen = elapsedMs / 20 + 1;
        return seen <= 16 ? 0 : (seen - 16) * 20 * FileFps / 1000;
    }

    QTemporaryDir m_dir;
    Settings m_settings;
    CaptureFlags m_flags;
    DisplayFrame m_display;
    ManualTickClock m_clock{1'000'000};
    Events m_events;
    std::atomic<int> m_lastPosture{0};
    std::atomic<bool> m_paintOverlay{false};
    std::mutex m_factoryMutex;
    std::vector<int> m_factoryCalls;
    std::unique_ptr<CaptureThread> m_thread;
    CaptureThread::HeadSampler m_headSampler;
};

// The head data beside a recording, as its reader sees it.
media::HeadTrackRead headDataOf(const QString& videoPath)
{
    return media::readHeadTrack(videoPath);
}

class CaptureThreadTest : public testing::Test, protected CaptureRig
{
};

} // namespace

TEST_F(CaptureThreadTest, recordsAWmvFileHoldingElapsedTimesFrameRate)
{
    startThread(simCameras());
    ASSERT_TRUE(waitUntil([&] { return m_flags.cameraOpened.load(); }));
    const QString name = startRecording();
    EXPECT_EQ(name, QStringLiteral("0000012320240305140709.wmv"));

    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 3000; }));
    m_flags.windowMode = ModeLibrary; // the stop command: the thread closes the file
    ASSERT_TRUE(waitUntil([&] { return m_events.closedCount() == 1; }));
    EXPECT_FALSE(m_flags.recording);

    const auto [closedName, written] = m_events.closedAt(0);
    EXPECT_EQ(closedName, name);
    EXPECT_EQ(written, expectedWritten(m_flags.recordingElapsedMs));
    EXPECT_GT(written, 60);

    const QString path = makeSavePath(m_dir.path(), name);
    EXPECT_EQ(countFrames(path), written);
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    ASSERT_TRUE(cap.isOpened());
    EXPECT_EQ(int(cap.get(cv::CAP_PROP_FRAME_WIDTH)), Width);
    EXPECT_EQ(int(cap.get(cv::CAP_PROP_FRAME_HEIGHT)), Height);
    EXPECT_NEAR(cap.get(cv::CAP_PROP_FPS), FileFps, 0.01);

    // The date and ID boxes are burnt into the recorded pictures: white where the skin is grey.
    cv::Mat frame;
    ASSERT_TRUE(cap.read(frame));
    cv::Mat grey;
    cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
    const double dateBox = cv::mean(grey(cv::Rect(Width - 295, Height - 20, 295, 20)))[0];
    const double idBox = cv::mean(grey(cv::Rect(0, Height - 20, 142, 20)))[0];
    const double above = cv::mean(grey(cv::Rect(0, Height - 50, Width, 20)))[0];
    EXPECT_GT(dateBox, 190);
    EXPECT_GT(idBox, 190);
    EXPECT_LT(above, 150);

    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                 "stream=codec_name,width,height,nb_read_frames:format=format_name", "-of", "default=nw=1",
                 path});
    ASSERT_TRUE(probe.waitForFinished(60000));
    const QString info = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(info.contains("codec_name=wmv2")) << info.toStdString();
    EXPECT_TRUE(info.contains("format_name=asf")) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("nb_read_frames=%1").arg(written))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("width=%1").arg(Width))) << info.toStdString();
}

TEST_F(CaptureThreadTest, restartClosesTheFileAndTheNextFileInTheSameSecondGetsTheNextName)
{
    startThread(simCameras());
    const QString first = startRecording();
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 1000; }));

    m_flags.restartRequested = true;
    ASSERT_TRUE(waitUntil([&] { return !m_flags.restartRequested && m_events.closedCount() == 1; }));
    EXPECT_FALSE(m_flags.recording);
    const auto [closedName, written] = m_events.closedAt(0);
    EXPECT_EQ(closedName, first);
    EXPECT_GT(written, 0);
    // Closed means complete: the file reads back in full while the thread keeps running.
    EXPECT_EQ(countFrames(makeSavePath(m_dir.path(), first)), written);

    // The wall clock stands still, so the new recording starts in the same second.
    const QString second = startRecording();
    EXPECT_EQ(first, QStringLiteral("0000012320240305140709.wmv"));
    EXPECT_EQ(second, QStringLiteral("0000012320240305140710.wmv"));
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 1000; }));
    m_flags.windowMode = ModeLibrary;
    ASSERT_TRUE(waitUntil([&] { return m_events.closedCount() == 2; }));
    EXPECT_EQ(countFrames(makeSavePath(m_dir.path(), first)), written);
    EXPECT_EQ(countFrames(makeSavePath(m_dir.path(), second)), m_events.closedAt(1).second);
    // Each file has head data of its own, a row for each of its frames.
    EXPECT_EQ(qint64(headDataOf(makeSavePath(m_dir.path(), first)).rows.size()), written);
    EXPECT_EQ(qint64(headDataOf(makeSavePath(m_dir.path(), second)).rows.size()),
              m_events.closedAt(1).second);
}

TEST_F(CaptureThreadTest, recordRequestWhileAFileIsOpenIsServedAfterItCloses)
{
    startThread(simCameras());
    const QString first = startRecording();
    m_flags.recordRequested = true;
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 600; }));
    EXPECT_TRUE(m_flags.recordRequested); // pending, not served into the open file
    EXPECT_EQ(m_events.openedCount(), 1);

    m_flags.restartRequested = true;
    ASSERT_TRUE(waitUntil([&] { return m_events.openedCount() == 2; }));
    EXPECT_FALSE(m_flags.recordRequested);
    EXPECT_NE(m_events.openedAt(1), first);
}

TEST_F(CaptureThreadTest, failedReadEndsTheRecordingOrOnlyStopsReading)
{
    struct Case
    {
        const char* name;
        int mode;
        bool record;
        int goodReads;
        std::vector<std::string> tail; // the last reports, in order
        bool threadEnds;
    };
    const Case cases[] = {
        {"while recording",
         ModeRecording,
         true,
         80,
         {"closed", "stopRequested", "cameraLost", "finished"},
         true},
        {"in the live view", ModeLive, false, 10, {"stopRequested", "cameraLost", "finished"}, true},
        {"in the recording view before a file opened",
         ModeRecording,
         false,
         10,
         {"stopRequested", "cameraLost", "finished"},
         true},
        {"in the library", ModeLibrary, false, 10, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureRig rig;

        // Set before the start: the camera fails after a handful of frames.
        rig.m_flags.windowMode = c.mode;
        rig.m_flags.recordRequested = c.record;
        rig.startThread(rig.simCameras({Width, Height}, c.goodReads));

        if (c.threadEnds) {
            ASSERT_TRUE(waitUntil([&] { return rig.m_events.finished.load(); }));
            const auto log = rig.m_events.snapshot();
            ASSERT_GE(log.size(), c.tail.size());
            EXPECT_EQ(std::vector<std::string>(log.end() - c.tail.size(), log.end()), c.tail);
            EXPECT_EQ(rig.m_flags.windowMode, ModeLibrary);
            EXPECT_FALSE(rig.m_thread->isRunning());
        } else {
            ASSERT_TRUE(waitUntil([&] { return rig.m_flags.cameraCount == 0; }));
            EXPECT_TRUE(rig.m_thread->isRunning());
            EXPECT_TRUE(rig.m_flags.captureRunning);
            const auto log = rig.m_events.snapshot();
            EXPECT_EQ(std::count(log.begin(), log.end(), "cameraLost"), 0);
            EXPECT_TRUE(rig.m_thread->stop(30000));
            EXPECT_TRUE(rig.m_events.finished);
        }
        if (c.record) {
            // The file written up to the loss stays on disk, complete.
            ASSERT_EQ(rig.m_events.openedCount(), 1);
            const QString name = rig.m_events.openedAt(0);
            const auto [closedName, written] = rig.m_events.closedAt(0);
            EXPECT_EQ(closedName, name);
            EXPECT_GT(written, 0);
            EXPECT_EQ(countFrames(makeSavePath(rig.m_dir.path(), name)), written);
        }
    }
}

TEST_F(CaptureThreadTest, cameraThatNeverOpensFallsBackToZeroThenEmptiesThePicture)
{
    const std::uint8_t grey[4 * 4 * 3] = {};
    m_display.store(grey, 4, 4, 12);
    m_settings.setValue(CameraNumber, QStringLiteral("2"));
    startThread(simCameras({Width, Height}, -1, {}));
    ASSERT_TRUE(waitUntil([&] { return m_events.finished.load(); }));

    EXPECT_FALSE(m_display.ready());
    EXPECT_FALSE(m_display.copy().valid());
    EXPECT_GE(m_events.frames, 1); // the window is told to repaint the empty picture
    EXPECT_FALSE(m_flags.cameraOpened);
    EXPECT_FALSE(m_flags.captureRunning);
    EXPECT_EQ(m_settings.value(CameraNumber), QStringLiteral("0"));
    EXPECT_EQ(factoryCalls(), (std::vector<int>{2, 2, 0, 0}));
}

TEST_F(CaptureThreadTest, missingConfiguredCameraFallsBackToCameraZero)
{
    m_settings.setValue(CameraNumber, QStringLiteral("3"));
    startThread(simCameras({Width, Height}, -1, {0}));
    ASSERT_TRUE(waitUntil([&] { return m_flags.cameraOpened && m_events.frames > 3; }));
    EXPECT_EQ(m_settings.value(CameraNumber), QStringLiteral("0"));
    EXPECT_TRUE(m_flags.captureRunning);
    EXPECT_EQ(factoryCalls(), (std::vector<int>{3, 3, 0}));
}

TEST_F(CaptureThreadTest, cameraChangeWhileRecordingAsksForRestartAndSwitches)
{
    CaptureThread& thread = startThread(simCameras());
    // The window answers the restart request by setting the flag, as its restart command does.
    QObject::connect(&thread, &CaptureThread::restartRequested, [this] { m_flags.restartRequested = true; });
    const QString first = startRecording();
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 600; }));

    m_settings.setValue(CameraNumber, QStringLiteral("1"));
    ASSERT_TRUE(waitUntil([&] { return m_events.closedCount() == 1; }));
    const auto log = m_events.snapshot();
    EXPECT_EQ(std::count(log.begin(), log.end(), "restartRequested"), 1);
    EXPECT_EQ(factoryCalls().back(), 1);
    EXPECT_EQ(countFrames(makeSavePath(m_dir.path(), first)), m_events.closedAt(0).second);

    // A camera that cannot be opened ends the thread and empties the picture.
    const QString second = startRecording();
    m_settings.setValue(CameraNumber, QStringLiteral("4"));
    ASSERT_TRUE(waitUntil([&] { return m_events.finished.load(); }));
    EXPECT_FALSE(m_display.ready());
    EXPECT_FALSE(m_flags.captureRunning);
    EXPECT_FALSE(m_flags.cameraOpened);
    ASSERT_EQ(m_events.closedCount(), 2u);
    EXPECT_EQ(m_events.closedAt(1).first, second);
}

TEST_F(CaptureThreadTest, cameraChangeWithoutFileOnlySwitchesThePicture)
{
    startThread(simCameras());
    ASSERT_TRUE(waitUntil([&] { return m_events.frames > 2; }));
    m_settings.setValue(CameraNumber, QStringLiteral("1"));
    const int before = m_events.frames;
    ASSERT_TRUE(waitUntil([&] { return m_events.frames > before + 2; }));
    EXPECT_EQ(factoryCalls(), (std::vector<int>{0, 1}));
    const auto log = m_events.snapshot();
    EXPECT_EQ(std::count(log.begin(), log.end(), "restartRequested"), 0);
    EXPECT_TRUE(m_thread->isRunning());
}

TEST_F(CaptureThreadTest, burntInBoxesFollowTheModeOnAScaledFrame)
{
    // A 1280 x 720 camera with 640 x 480 configured: scaled first, then drawn on.
    m_settings.setValue(CaptureSize, QStringLiteral("640,480"));
    m_settings.updateCaptureSize();
    m_settings.setValue(Posture, QStringLiteral("2"));
    m_paintOverlay = true;
    startThread(simCameras({1280, 720}));

    struct Case
    {
        int mode;
        bool idBox;
        const char* posture;
        int expectedPosture;
    };
    const Case cases[] = {
        {ModeLive, false, "2", 2}, {ModeRecording, true, "1", 1}, {ModeLive, false, "sit", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", posture " << c.posture);
        m_flags.windowMode = c.mode;
        m_settings.setValue(Posture, QString::fromLatin1(c.posture));
        // Frames already in flight were drawn with the old values.
        const int before = m_events.frames;
        ASSERT_TRUE(waitUntil([&] { return m_events.frames > before + 2; }));

        const FrameCopy f = m_display.copy();
        ASSERT_TRUE(f.valid());
        ASSERT_EQ(f.width, 640);
        ASSERT_EQ(f.height, 480);
        auto px = [&](int x, int y) {
            const std::uint8_t* p = f.rgb.data() + (std::size_t(y) * f.width + x) * 3;
            return cv::Vec3b(p[0], p[1], p[2]);
        };
        const cv::Vec3b white(255, 255, 255);
        // Row H-20, the top row of both boxes, lies above the text.
        for (int x = 345; x < 640; ++x)
            ASSERT_EQ(px(x, 480 - 20), white) << "date box at x " << x;
        EXPECT_NE(px(343, 480 - 20), white);
        EXPECT_NE(px(400, 480 - 22), white);
        for (int x = 0; x <= 142; ++x)
            ASSERT_EQ(px(x, 480 - 20) == white, c.idBox) << "ID box at x " << x;
        EXPECT_NE(px(145, 480 - 20), white);
        // Black text inside the date box.
        int dark = 0;
        for (int y = 480 - 17; y < 480 - 3; ++y)
            for (int x = 347; x < 600; ++x)
                dark += px(x, y)[0] < 60;
        EXPECT_GT(dark, 100);
        // The head overlay painted red into the top-left square (the live view is red first).
        EXPECT_EQ(px(40, 40), cv::Vec3b(255, 0, 0));
        EXPECT_EQ(px(84, 84), cv::Vec3b(255, 0, 0));
        EXPECT_NE(px(90, 90), cv::Vec3b(255, 0, 0));
        EXPECT_EQ(m_lastPosture, c.expectedPosture);
    }
}

TEST_F(CaptureThreadTest, writerThatCannotOpenIsReportedAndTheLiveViewContinues)
{
    const QString missing = m_dir.filePath(QStringLiteral("no/such/folder"));
    m_settings.setValue(SaveFolder, missing);
    startThread(simCameras());
    m_flags.windowMode = ModeRecording;
    m_flags.recording = true; // set by the window before the thread opens the file
    m_flags.recordRequested = true;
    ASSERT_TRUE(waitUntil([&] { return !m_flags.recordRequested; }));
    EXPECT_FALSE(m_flags.recording);
    {
        std::lock_guard lock(m_events.mutex);
        ASSERT_EQ(m_events.openFailed.size(), 1);
        EXPECT_TRUE(m_events.openFailed[0].startsWith(missing + u'/'));
        EXPECT_TRUE(m_events.opened.isEmpty());
    }
    const int before = m_events.frames;
    ASSERT_TRUE(waitUntil([&] { return m_events.frames > before + 3; }));
    EXPECT_TRUE(m_thread->isRunning());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(CaptureThreadTest, frameLimitClosesTheFileAndAsksForTheStop)
{
    struct Case
    {
        const char* minutes;
        qint64 written;
    };
    const Case cases[] = {
        // One minute is 1800 frames: a 50 fps camera passes 1800 seen frames first.
        {"1", (1801 - 16) * 20 * FileFps / 1000},
        // A limit of -1 minutes, or an unusable setting that reads as -1, is negative: the first
        // frame ends the file.
        {"-1", 0},
        {"abc", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minutes);
        CaptureRig rig;
        rig.m_settings.setValue(MaxRecordingMinutes, QString::fromLatin1(c.minutes));
        // Small pictures keep the minute of frames quick to make.
        rig.m_settings.setValue(CaptureSize, QStringLiteral("64,48"));
        rig.m_settings.updateCaptureSize();
        rig.startThread(rig.simCameras({64, 48}));
        const QString name = rig.startRecording();
        ASSERT_TRUE(waitUntil([&] { return rig.m_events.closedCount() == 1; }));
        const auto log = rig.m_events.snapshot();
        const auto closed = std::find(log.begin(), log.end(), "closed");
        ASSERT_NE(closed, log.end());
        ASSERT_NE(closed + 1, log.end());
        EXPECT_EQ(*(closed + 1), "stopRequested");
        EXPECT_EQ(rig.m_events.closedAt(0).second, c.written);
        if (c.written > 0) {
            EXPECT_EQ(countFrames(makeSavePath(rig.m_dir.path(), name)), c.written);
        }
        EXPECT_TRUE(rig.m_thread->isRunning()); // the window's stop command takes it from here
    }
}

TEST_F(CaptureThreadTest, everyWrittenFrameGetsAHeadDataRowWithThePoseItShows)
{
    // A preset chosen by hand, changed half-way through the recording.
    std::atomic<int> preset{5};
    m_headSampler = [&preset] {
        return media::HeadSample{media::HeadSource::Keypad, 0.9f, 0.0f, 0.0f, 0.0f, preset.load()};
    };
    startThread(simCameras());
    const QString name = startRecording();
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 1500; }));
    preset = 7;
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 3000; }));
    m_flags.windowMode = ModeLibrary;
    ASSERT_TRUE(waitUntil([&] { return m_events.closedCount() == 1; }));
    const qint64 written = m_events.closedAt(0).second;
    ASSERT_GT(written, 50);

    const media::HeadTrackRead head = headDataOf(makeSavePath(m_dir.path(), name));
    EXPECT_EQ(head.status, media::HeadTrackRead::Status::Ok) << head.problem.toStdString();
    EXPECT_FALSE(head.cutShort);
    ASSERT_EQ(qint64(head.rows.size()), written);
    int changes = 0;
    for (std::size_t i = 0; i < head.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const media::HeadTrackRow& row = head.rows[i];
        EXPECT_EQ(row.frame, qint64(i));
        EXPECT_NEAR(row.timeSeconds, double(i) / FileFps, 5e-4);
        EXPECT_EQ(row.sample.source, media::HeadSource::Keypad);
        if (i > 0 && row.sample.preset != head.rows[i - 1].sample.preset)
            ++changes;
    }
    EXPECT_EQ(head.rows.front().sample.preset, 5);
    EXPECT_EQ(head.rows.back().sample.preset, 7);
    EXPECT_EQ(changes, 1);
}

TEST_F(CaptureThreadTest, headDataThatCannotBeWrittenNeverStopsTheRecording)
{
    // A link planted at the head-data name: never written through, so the head data fails.
    const QString name = QStringLiteral("0000012320240305140709.wmv");
    const QString planted = media::headTrackPath(makeSavePath(m_dir.path(), name));
    ASSERT_TRUE(QFile::link(m_dir.filePath("nowhere/target"), planted));
    startThread(simCameras());
    QStringList failures;
    std::mutex failuresLock;
    QObject::connect(m_thread.get(), &CaptureThread::headDataWriteFailed,
                     [&](const QString& file, const QString& reason) {
                         std::lock_guard lock(failuresLock);
                         failures << file + u' ' + reason;
                     });
    ASSERT_EQ(startRecording(), name);
    ASSERT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= 2000; }));
    EXPECT_TRUE(m_flags.recording);
    m_flags.windowMode = ModeLibrary;
    ASSERT_TRUE(waitUntil([&] { return m_events.closedCount() == 1; }));

    const qint64 written = m_events.closedAt(0).second;
    EXPECT_GT(written, 30);
    EXPECT_EQ(countFrames(makeSavePath(m_dir.path(), name)), written);
    std::lock_guard lock(failuresLock);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.first().startsWith(name)) << failures.first().toStdString();
    EXPECT_TRUE(QFileInfo(planted).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("nowhere/target")));
}
