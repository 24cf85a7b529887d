// What the recorder writes when the camera misbehaves: the real capture thread with the real head
// overlay, simulated cameras on a virtual clock, and the files read back through OpenCV.
#include "core/capture/CaptureThread.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"
#include "core/sensor/HeadOverlay.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace tolvek;
using tolvek::test::waitUntil;

namespace {

constexpr double CameraFps = 30.0;
constexpr int FileFps = 30;

std::vector<cv::Mat> decodeAll(const QString& path)
{
    std::vector<cv::Mat> frames;
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat f;
    while (cap.isOpened() && cap.read(f))
        frames.push_back(f.clone());
    return frames;
}

double meanAbsDiff(const cv::Mat& a, const cv::Mat& b)
{
    cv::Mat d;
    cv::absdiff(a, b, d);
    const cv::Scalar m = cv::mean(d);
    return (m[0] + m[1] + m[2]) / 3.0;
}

double whiteShare(const cv::Mat& bgr, const cv::Rect& r)
{
    cv::Mat grey;
    cv::cvtColor(bgr(r), grey, cv::COLOR_BGR2GRAY);
    return cv::countNonZero(grey > 200) / double(r.area());
}

// A camera that changes what it delivers from frame to frame: frame k comes as
// shapes[k % shapes.size()] (a size, and grey instead of colour when `grey` is set).
class ShapeShiftingSource : public FrameSource
{
  public:
    struct Shape
    {
        cv::Size size;
        bool grey = false;
    };
    ShapeShiftingSource(SimulatedEyeSource::Options o, std::vector<Shape> shapes)
        : m_sim(o), m_shapes(std::move(shapes))
    {
    }
    bool open() override { return m_sim.open(); }
    bool isOpened() const override { return m_sim.isOpened(); }
    bool read(cv::Mat& out) override
    {
        cv::Mat frame;
        if (!m_sim.read(frame))
            return false;
        const Shape& s = m_shapes[m_k++ % m_shapes.size()];
        if (s.size != frame.size())
            cv::resize(frame, frame, s.size);
        if (s.grey)
            cv::cvtColor(frame, frame, cv::COLOR_BGR2GRAY);
        out = frame;
        return true;
    }
    void release() override { m_sim.release(); }
    cv::Size frameSize() const override { return m_sim.frameSize(); }
    double nominalFps() const override { return m_sim.nominalFps(); }

  private:
    SimulatedEyeSource m_sim;
    std::vector<Shape> m_shapes;
    std::size_t m_k = 0;
};

// One capture thread with the real head overlay, recording into a temporary folder; the camera
// runs on a virtual clock, so a second of recording takes only as long as encoding it.
class Recorder
{
  public:
    explicit Recorder(cv::Size capture)
    {
        EXPECT_TRUE(m_dir.isValid());
        m_settings.resetToDefaults();
        m_settings.setValue(CaptureSize, QStringLiteral("%1,%2").arg(capture.width).arg(capture.height));
        m_settings.updateCaptureSize();
        EXPECT_EQ(m_settings.captureWidth(), capture.width);
        m_settings.setValue(CaptureFps, QString::number(FileFps));
        m_settings.setValue(SaveFolder, m_dir.path());
        m_flags.cameraCount = 1;
        m_flags.currentPatientId = 4711;
    }
    ~Recorder()
    {
        if (m_thread) {
            EXPECT_TRUE(m_thread->stop(30000));
        }
    }

    SimulatedEyeSource::Options cameraOptions(cv::Size size)
    {
        SimulatedEyeSource::Options o;
        o.width = size.width;
        o.height = size.height;
        o.fps = CameraFps;
        o.virtualClock = &m_clock;
        return o;
    }

    // Records for `virtualMs` of camera time and returns the closed file's path.
    QString record(std::function<std::unique_ptr<FrameSource>()> camera, int virtualMs)
    {
        m_thread = std::make_unique<CaptureThread>(
            m_flags, m_display, m_settings, [camera](int index) { return index == 0 ? camera() : nullptr; },
            makeHeadOverlayCallback(m_head.poseStore(), m_settings));
        m_thread->setTickClock(m_clock.tickClock());
        QObject::connect(m_thread.get(), &CaptureThread::recordingOpened, [this](const QString& name) {
            std::lock_guard lock(m_mutex);
            m_name = name;
        });
        QObject::connect(m_thread.get(), &CaptureThread::recordingOpenFailed, [this] { ++m_openFailures; });
        QObject::connect(m_thread.get(), &CaptureThread::recordingClosed,
                         [this](const QString&, qint64 written) {
                             m_written = written;
                             ++m_closed;
                         });
        m_flags.windowMode = ModeRecording;
        m_flags.recordRequested = true;
        EXPECT_TRUE(m_thread->start());
        EXPECT_TRUE(waitUntil([&] { return m_flags.recordingElapsedMs >= virtualMs || m_openFailures > 0; }));
        EXPECT_EQ(m_openFailures, 0);
        m_flags.windowMode = ModeLibrary; // the stop: the thread closes the file
        EXPECT_TRUE(waitUntil([&] { return m_closed == 1; }));
        std::lock_guard lock(m_mutex);
        return makeSavePath(m_dir.path(), m_name);
    }

    QTemporaryDir m_dir;
    Settings m_settings;
    CaptureFlags m_flags;
    DisplayFrame m_display;
    HeadState m_head;
    ManualTickClock m_clock{5'000'000};
    std::unique_ptr<CaptureThread> m_thread;
    std::mutex m_mutex;
    QString m_name;
    std::atomic<int> m_openFailures{0};
    std::atomic<int> m_closed{0};
    std::atomic<qint64> m_written{-1};
};

} // namespace

TEST(RecorderFileTest, CaptureSizesBelowTheHeadSquareRecordWithTheHeadClipped)
{
    for (const cv::Size size : {cv::Size(84, 84), cv::Size(64, 48), cv::Size(16, 16)}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        Recorder r(size);
        const QString path = r.record(
            [&r, size] { return std::make_unique<SimulatedEyeSource>(r.cameraOptions(size)); }, 1000);

        const std::vector<cv::Mat> frames = decodeAll(path);
        EXPECT_GT(r.m_written, 10);
        ASSERT_EQ(qint64(frames.size()), r.m_written.load());
        // The head is drawn last and covers the whole small picture, clipped to it.
        cv::Mat head(size, CV_8UC3, cv::Scalar(118, 118, 118));
        const bool byHand = r.m_settings.contains(SensorMode, u'0');
        drawHeadOverlay(head, r.m_head.headPose(),
                        overlayPosture(r.m_settings.contains(Posture, u'1') ? 1 : 2, byHand));
        for (const cv::Mat& f : {frames.front(), frames.back()}) {
            ASSERT_EQ(f.size(), size);
            EXPECT_LT(meanAbsDiff(f, head), 12.0);
        }
    }
}

// The recorder's own files, from two frames (too few for a demuxer to measure their rate) to several
// seconds: the re-encode of Change ID reads every frame the recorder wrote and counts the copy as
// complete.
TEST(RecorderFileTest, EveryRecordingReEncodesCompletely)
{
    for (const int ms : {501, 540, 600, 4000}) {
        SCOPED_TRACE(testing::Message() << ms << " ms");
        // On a busy machine the stop of a very short recording can come before its first frame is
        // written; such a file says nothing about re-encoding, so it is recorded again.
        std::unique_ptr<Recorder> recorder;
        QString path;
        for (int attempt = 0; attempt < 5 && (!recorder || recorder->m_written == 0); ++attempt) {
            recorder = std::make_unique<Recorder>(cv::Size(160, 120));
            Recorder& fresh = *recorder;
            path = fresh.record(
                [&fresh] {
                    return std::make_unique<SimulatedEyeSource>(fresh.cameraOptions(cv::Size(160, 120)));
                },
                ms);
        }
        Recorder& r = *recorder;
        ASSERT_GT(r.m_written, 0);
        ASSERT_EQ(test::countDecodedFrames(path), r.m_written.load());
        auto s = std::make_shared<TrimWorkerState>();
        s->fps = FileFps;
        s->sourcePath = path;
        s->targetPath = makeSavePath(r.m_dir.path(), replaceVideoId(QFileInfo(path).fileName(), 815));
        s->newId = 815;
        s->running = true;
        ReburnIdWorker(s);
        EXPECT_EQ(s->result.load(), TrimResult::Done);
        EXPECT_EQ(s->framesDone.load(), r.m_written.load());
    }
}

TEST(RecorderFileTest, CameraChangingItsPictureMidRecordingIsScaledIntoEveryFrame)
{
    const cv::Size capture(320, 240);
    Recorder r(capture);
    const std::vector<ShapeShiftingSource::Shape> shapes = {
        {capture}, {{1280, 720}}, {{160, 120}}, {capture, true}, {{321, 239}, true}};
    const QString path = r.record(
        [&] { return std::make_unique<ShapeShiftingSource>(r.cameraOptions(capture), shapes); }, 1500);

    const std::vector<cv::Mat> frames = decodeAll(path);
    EXPECT_GT(r.m_written, 20);
    ASSERT_EQ(qint64(frames.size()), r.m_written.load());
    // Every frame is at the capture size with both boxes stamped where they belong, so the
    // stamps were drawn after scaling whatever the camera gave.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(frames[i].size(), capture);
        ASSERT_GT(whiteShare(frames[i], cv::Rect(capture.width - 295, capture.height - 20, 295, 20)), 0.6);
        ASSERT_GT(whiteShare(frames[i], cv::Rect(0, capture.height - 20, 143, 20)), 0.6);
        ASSERT_LT(whiteShare(frames[i], cv::Rect(0, capture.height - 45, capture.width, 20)), 0.1);
    }
    const FrameCopy live = r.m_display.copy();
    ASSERT_TRUE(live.valid());
    EXPECT_EQ(cv::Size(live.width, live.height), capture);
}
