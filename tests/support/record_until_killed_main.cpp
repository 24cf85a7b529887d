// record_until_killed FOLDER [WIDTH HEIGHT [SEED]]: the real capture thread with the simulated eye
// camera on a virtual clock records into FOLDER as fast as it can encode. It prints
// "opened <full path>" once the file is open, then "elapsed <ms> <frames>" lines with the recording
// time reached and the frames drawn so far (each one is written right after it is drawn), and never
// stops by itself: fault tests kill it at chosen moments.

#include "core/capture/CaptureThread.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/sensor/HeadOverlay.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace tolvek;

int main(int argc, char** argv)
{
    if (argc < 2)
        return 100;
    QCoreApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int width = argc > 3 ? std::atoi(argv[2]) : 640;
    const int height = argc > 3 ? std::atoi(argv[3]) : 480;
    const unsigned seed = argc > 4 ? unsigned(std::atoi(argv[4])) : 1u;

    Settings settings;
    settings.resetToDefaults();
    settings.setValue(CaptureSize, QStringLiteral("%1,%2").arg(width).arg(height));
    settings.updateCaptureSize();
    settings.setValue(CaptureFps, QStringLiteral("30"));
    settings.setValue(SaveFolder, folder);
    CaptureFlags flags;
    flags.cameraCount = 1;
    flags.currentPatientId = 4711;
    DisplayFrame display;
    HeadState head;
    ManualTickClock clock{5'000'000};

    SimulatedEyeSource::Options o;
    o.width = width;
    o.height = height;
    o.fps = 30.0;
    o.seed = seed;
    o.virtualClock = &clock;
    std::atomic<int> drawn{0};
    auto overlay = makeHeadOverlayCallback(head.poseStore(), settings);
    CaptureThread thread(
        flags, display, settings,
        [o](int index) { return index == 0 ? std::make_unique<SimulatedEyeSource>(o) : nullptr; },
        [&drawn, overlay](cv::Mat& bgr, int posture) {
            overlay(bgr, posture);
            ++drawn;
        });
    thread.setTickClock(clock.tickClock());
    std::mutex mutex;
    QString opened;
    std::atomic<bool> failed{false};
    QObject::connect(
        &thread, &CaptureThread::recordingOpened, &thread,
        [&](const QString& name) {
            std::lock_guard lock(mutex);
            opened = makeSavePath(folder, name);
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &CaptureThread::recordingOpenFailed, &thread, [&] { failed = true; }, Qt::DirectConnection);
    flags.windowMode = ModeRecording;
    flags.recordRequested = true;
    if (!thread.start())
        return 101;

    bool announced = false;
    int last = -1;
    for (;;) {
        if (failed)
            return 102;
        if (!announced) {
            std::lock_guard lock(mutex);
            if (!opened.isEmpty()) {
                std::printf("opened %s\n", opened.toLocal8Bit().constData());
                announced = true;
            }
        }
        const int elapsed = flags.recordingElapsedMs;
        if (announced && elapsed != last) {
            std::printf("elapsed %d %d\n", elapsed, drawn.load());
            last = elapsed;
        }
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
