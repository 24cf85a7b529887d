// Per-frame cost of the capture path against the bare WMV2 encoder, side by side in one run.
//
// The capture path is what the capture thread does with every camera frame while recording:
// scale to the capture size when the camera delivers another size, burn in the date-time and ID
// boxes (stampFrame), draw the head picture (the overlay the thread is given), hand the picture
// to the live view's DisplayFrame (shared, not copied; the UI thread puts the colours in order
// when it paints), and write it with the program's WmvWriter. The bare encoder is the same writer
// given the same pictures, already at the capture size, and nothing else. OpenCV's writer, which
// recorded the earlier files, encodes the same pictures beside them for comparison. Frames come
// from the simulated eye camera and are made before timing.
//
// The program asks a camera for the capture size when it opens it, so a camera that can deliver
// that size needs no scaling: that path is the one the goals are judged on. The same path behind
// a camera stuck at another size (scaled every frame) is measured beside it and printed.
//
// The process is pinned to the one core it starts on and OpenCV runs single-threaded, so the
// numbers are the cost on one core. Time is the process CPU time (robust on a shared machine);
// wall-clock frame rates are printed beside it. Blocks of the variants alternate, and each ratio
// is the median of the per-round ratios, so load that drifts during the run cancels out.
//
// Goals: the path costs at most 1.10 x the bare encoder, and sustains 60 frames per second at
// 1280 x 720. Exit status 0 when every goal is met, 1 when one is missed, 2 when the encoder
// could not be opened.
//
// Usage: bench_capture [--rounds N] [--block-ms MS]

#include "Median.h"
#include "core/capture/CaptureFlags.h"
#include "core/capture/DisplayFrame.h"
#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/WmvWriter.h"
#include "core/sensor/HeadOverlay.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace tolvek;
using tolvek::bench::median;

namespace {

constexpr double RatioGoal = 1.10;
constexpr double FpsGoal = 60.0;
constexpr int FpsGoalWidth = 1280;
constexpr int FpsGoalHeight = 720;
constexpr int FileFps = 30;
constexpr int PatientId = 123;
// Distinct pre-made pictures per size, used in turn (a camera's frames differ by noise and motion).
constexpr int DistinctFrames = 24;

struct Clocks
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

Clocks now()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    const auto wall = std::chrono::steady_clock::now().time_since_epoch();
    return {double(cpu.tv_sec) + double(cpu.tv_nsec) * 1e-9, std::chrono::duration<double>(wall).count()};
}

// Pins the process to the core it runs on; returns that core, or -1 when pinning failed.
int pinToOneCore()
{
    const int cpu = sched_getcpu();
    if (cpu < 0)
        return -1;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof(set), &set) == 0 ? cpu : -1;
}

struct Case
{
    cv::Size capture;
    cv::Size otherCamera; // the size a camera stuck at another size delivers; scaled to `capture`
};

struct Result
{
    Case c;
    double bareMs = 0;   // median CPU ms per frame
    double pathMs = 0;   // the path with a camera delivering the capture size
    double scaledMs = 0; // the path behind a camera of another size
    double ratio = 0;    // median of the per-round path / bare ratios
    double scaledRatio = 0;
    double pathWallFps = 0;
    int framesPerBlock = 0;
    // Median CPU ms per frame of each step of the path on its own.
    double resizeMs = 0, stampMs = 0, overlayMs = 0, liveViewMs = 0, newBufferMs = 0;
    double opencvMs = 0;    // OpenCV's writer on the bare pictures
    double writerRatio = 0; // median of the per-round bare / OpenCV ratios
};

// One encoder writing into the temporary folder: the program's writer, or OpenCV's for comparison.
struct Encoder
{
    media::WmvWriter writer;
    bool open(const QString& path, cv::Size size)
    {
        media::WmvWriterSettings s;
        s.width = size.width;
        s.height = size.height;
        s.fps = FileFps;
        s.syncEverySecond = true; // as the recorder runs it
        return writer.open(path, s);
    }
    void write(const cv::Mat& frame) { writer.write(frame); }
    void release() { writer.close(); }
};
struct OpenCvEncoder
{
    cv::VideoWriter writer;
    bool open(const QString& path, cv::Size size)
    {
        return writer.open(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG,
                           cv::VideoWriter::fourcc('W', 'M', 'V', '2'), FileFps, size, true);
    }
    void write(const cv::Mat& frame) { writer.write(frame); }
    void release() { writer.release(); }
};

bool runCase(const Case& c, const QString& folder, int rounds, double blockSeconds, Result& out)
{
    std::printf("  %dx%d: making %d camera frames of %dx%d...\n", c.capture.width, c.capture.height,
                DistinctFrames, c.otherCamera.width, c.otherCamera.height);
    std::fflush(stdout);

    SimulatedEyeSource::Options o;
    o.width = c.otherCamera.width;
    o.height = c.otherCamera.height;
    o.fps = FileFps;
    o.seed = 7;
    const SimulatedEyeSource camera(o);
    std::vector<cv::Mat> cameraFrames(DistinctFrames);
    std::vector<cv::Mat> sizedFrames(DistinctFrames); // the same pictures at the capture size
    for (int k = 0; k < DistinctFrames; ++k) {
        camera.renderFrame(k, cameraFrames[k]);
        cv::resize(cameraFrames[k], sizedFrames[k], c.capture, 0, 0, cv::INTER_LINEAR);
    }
    std::vector<cv::Mat> sameSizeFrames(DistinctFrames); // stamped in place by the same-size path
    for (int k = 0; k < DistinctFrames; ++k)
        sizedFrames[k].copyTo(sameSizeFrames[k]);

    // The capture thread's collaborators, as the window gives them to it.
    Settings settings;
    settings.resetToDefaults();
    HeadState head;
    const HeadOverlayCallback overlay = makeHeadOverlayCallback(head.poseStore(), settings);
    DisplayFrame display;
    cv::Mat scaled;

    // What the capture thread does with one frame after reading it, in its order.
    auto capturePath = [&](cv::Mat& frame, cv::Mat& target, bool scale) {
        cv::Mat* f = &frame;
        if (scale) {
            cv::resize(frame, target, c.capture, 0, 0, cv::INTER_LINEAR);
            f = &target;
        }
        stampFrame(*f, ModeRecording, QDateTime::currentDateTime(), PatientId);
        overlay(*f, settings.contains(Posture, u'1') ? 1 : 2);
        display.shareBgr(*f);
        return f;
    };

    const QString tag = QStringLiteral("%1x%2").arg(c.capture.width).arg(c.capture.height);
    Encoder bare, path, sameSize;
    OpenCvEncoder opencv;
    if (!bare.open(folder + "/bare" + tag + ".wmv", c.capture) ||
        !path.open(folder + "/path" + tag + ".wmv", c.capture) ||
        !sameSize.open(folder + "/same" + tag + ".wmv", c.capture) ||
        !opencv.open(folder + "/opencv" + tag + ".wmv", c.capture)) {
        std::fprintf(stderr, "bench_capture: cannot open a WMV2 file at %dx%d\n", c.capture.width,
                     c.capture.height);
        return false;
    }

    int next = 0;
    using Block = std::function<void(int frames)>;
    const Block bareBlock = [&](int n) {
        for (int i = 0; i < n; ++i)
            bare.write(sizedFrames[(next + i) % DistinctFrames]);
    };
    const Block opencvBlock = [&](int n) {
        for (int i = 0; i < n; ++i)
            opencv.write(sizedFrames[(next + i) % DistinctFrames]);
    };
    const Block pathBlock = [&](int n) {
        for (int i = 0; i < n; ++i) {
            cv::Mat& cam = cameraFrames[(next + i) % DistinctFrames];
            path.write(*capturePath(cam, scaled, true));
        }
    };
    const Block sameSizeBlock = [&](int n) {
        for (int i = 0; i < n; ++i) {
            cv::Mat& cam = sameSizeFrames[(next + i) % DistinctFrames];
            sameSize.write(*capturePath(cam, scaled, false));
        }
    };
    auto timeBlock = [](const Block& block, int n, double& cpuMs, double& wallMs) {
        const Clocks a = now();
        block(n);
        const Clocks b = now();
        cpuMs = (b.cpuSeconds - a.cpuSeconds) * 1000.0 / n;
        wallMs = (b.wallSeconds - a.wallSeconds) * 1000.0 / n;
    };

    // Warm every encoder past its first key frame, then size the blocks from the bare encoder.
    double cpuMs = 0, wallMs = 0;
    timeBlock(bareBlock, 6, cpuMs, wallMs);
    timeBlock(pathBlock, 6, cpuMs, wallMs);
    timeBlock(sameSizeBlock, 6, cpuMs, wallMs);
    timeBlock(opencvBlock, 6, cpuMs, wallMs);
    timeBlock(bareBlock, 10, cpuMs, wallMs);
    const int n = std::clamp(int(blockSeconds * 1000.0 / std::max(cpuMs, 0.01)), 8, 240);
    out.framesPerBlock = n;

    std::vector<double> bareMs, scaledMs, pathMs, scaledRatios, ratios, pathWall, opencvMs, writerRatios;
    const Block* blocks[4] = {&bareBlock, &pathBlock, &sameSizeBlock, &opencvBlock};
    for (int r = 0; r < rounds; ++r) {
        double cpu[4] = {}, wall[4] = {};
        // Rotate the order so that no variant always runs right after another.
        for (int j = 0; j < 4; ++j) {
            const int v = (r + j) % 4;
            timeBlock(*blocks[v], n, cpu[v], wall[v]);
        }
        next += n;
        bareMs.push_back(cpu[0]);
        scaledMs.push_back(cpu[1]);
        pathMs.push_back(cpu[2]);
        scaledRatios.push_back(cpu[1] / cpu[0]);
        ratios.push_back(cpu[2] / cpu[0]);
        pathWall.push_back(wall[2]);
        opencvMs.push_back(cpu[3]);
        writerRatios.push_back(cpu[0] / cpu[3]);
    }
    // Where the path's extra time goes: each step alone over the same frames.
    std::vector<double> resizeMs, stampMs, overlayMs, liveViewMs, newBufferMs;
    const int posture = settings.contains(Posture, u'1') ? 1 : 2;
    for (int r = 0; r < 3; ++r) {
        double wall = 0, cpu = 0;
        timeBlock(
            [&](int k) {
                for (int i = 0; i < k; ++i)
                    cv::resize(cameraFrames[i % DistinctFrames], scaled, c.capture, 0, 0, cv::INTER_LINEAR);
            },
            n, cpu, wall);
        resizeMs.push_back(cpu);
        timeBlock(
            [&](int k) {
                for (int i = 0; i < k; ++i)
                    stampFrame(sameSizeFrames[i % DistinctFrames], ModeRecording,
                               QDateTime::currentDateTime(), PatientId);
            },
            n, cpu, wall);
        stampMs.push_back(cpu);
        timeBlock(
            [&](int k) {
                for (int i = 0; i < k; ++i)
                    overlay(sameSizeFrames[i % DistinctFrames], posture);
            },
            n, cpu, wall);
        overlayMs.push_back(cpu);
        timeBlock(
            [&](int k) {
                for (int i = 0; i < k; ++i) {
                    display.shareBgr(sameSizeFrames[i % DistinctFrames]);
                }
            },
            n, cpu, wall);
        liveViewMs.push_back(cpu);
        // The capture thread reads every frame into a new buffer, because the live view keeps
        // the last one; the allocator hands back the buffer freed a frame earlier.
        timeBlock(
            [&](int k) {
                for (int i = 0; i < k; ++i) {
                    cv::Mat fresh(c.capture, CV_8UC3);
                    fresh.data[0] = 1;
                    fresh.data[fresh.total() * 3 - 1] = 1;
                    display.shareBgr(fresh);
                }
            },
            n, cpu, wall);
        newBufferMs.push_back(cpu);
    }
    out.resizeMs = median(resizeMs);
    out.stampMs = median(stampMs);
    out.overlayMs = median(overlayMs);
    out.liveViewMs = median(liveViewMs);
    out.newBufferMs = median(newBufferMs);

    bare.release();
    path.release();
    sameSize.release();
    opencv.release();
    out.opencvMs = median(opencvMs);
    out.writerRatio = median(writerRatios);

    out.c = c;
    out.bareMs = median(bareMs);
    out.pathMs = median(pathMs);
    out.scaledMs = median(scaledMs);
    out.ratio = median(ratios);
    out.scaledRatio = median(scaledRatios);
    out.pathWallFps = 1000.0 / median(pathWall);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 9;
    double blockSeconds = 0.25;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::clamp(std::atoi(argv[i + 1]), 1, 100);
        else if (!std::strcmp(argv[i], "--block-ms"))
            blockSeconds = std::clamp(std::atoi(argv[i + 1]), 10, 5000) / 1000.0;
    }

    const int core = pinToOneCore();
    cv::setNumThreads(1);

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "bench_capture: no temporary folder\n");
        return 2;
    }

    std::printf("Capture path vs bare WMV2 writer (WmvWriter, %d fps), %s, OpenCV single-threaded,\n"
                "%d rounds of alternating blocks, CPU time per frame (median).\n",
                FileFps,
                core >= 0 ? qPrintable(QStringLiteral("pinned to core %1").arg(core))
                          : "NOT pinned to one core",
                rounds);
    std::printf(
        "Path = date/ID stamps + head overlay + hand-over to the live view + encode,\n"
        "with the camera delivering the capture size it was asked for. Scaled = the same path behind a\n"
        "camera stuck at another size (resize first). Bare = encode of the same pictures.\n");

    // The other camera sizes: a 1280 x 720 camera for 640 x 480 and, scaled up, for 1920 x 1080,
    // a full-HD one for 1280 x 720.
    const Case cases[] = {
        {{640, 480}, {1280, 720}},
        {{1280, 720}, {1920, 1080}},
        {{1920, 1080}, {1280, 720}},
    };
    std::vector<Result> results;
    for (const Case& c : cases) {
        Result r;
        if (!runCase(c, folder.path(), rounds, blockSeconds, r))
            return 2;
        results.push_back(r);
    }

    std::printf("\n%-10s %10s %10s %8s %10s %10s   %-11s %10s %8s\n", "capture", "bare ms", "path ms",
                "ratio", "path fps", "path fps", "other size", "scaled ms", "ratio");
    std::printf("%-10s %10s %10s %8s %10s %10s   %-11s %10s %8s\n", "", "(cpu)", "(cpu)", "", "(1 core)",
                "(wall)", "camera", "(cpu)", "");
    for (const Result& r : results) {
        const std::string cap = std::to_string(r.c.capture.width) + "x" + std::to_string(r.c.capture.height);
        const std::string cam =
            std::to_string(r.c.otherCamera.width) + "x" + std::to_string(r.c.otherCamera.height);
        std::printf("%-10s %10.3f %10.3f %8.3f %10.1f %10.1f   %-11s %10.3f %8.3f\n", cap.c_str(), r.bareMs,
                    r.pathMs, r.ratio, 1000.0 / r.pathMs, r.pathWallFps, cam.c_str(), r.scaledMs,
                    r.scaledRatio);
    }
    std::printf(
        "(scaled: not a goal; the program asks the camera for the capture size, and only a camera that\n"
        " cannot deliver it is scaled, at the cost of the resize column below)\n\n");
    std::printf(
        "Steps of the path alone, CPU ms per frame (live view = handing the picture to the live view;\n"
        "its colour order is put right on the UI thread):\n%-10s %10s %10s %10s %10s %11s\n",
        "capture", "resize", "stamps", "overlay", "live view", "new buffer");
    for (const Result& r : results) {
        const std::string cap = std::to_string(r.c.capture.width) + "x" + std::to_string(r.c.capture.height);
        std::printf("%-10s %10.3f %10.3f %10.3f %10.3f %11.3f\n", cap.c_str(), r.resizeMs, r.stampMs,
                    r.overlayMs, r.liveViewMs, r.newBufferMs);
    }
    std::printf("\nThe program's writer against OpenCV's on the bare pictures, CPU ms per frame:\n%-10s %10s "
                "%10s %8s\n",
                "capture", "WmvWriter", "OpenCV", "ratio");
    for (const Result& r : results) {
        const std::string cap = std::to_string(r.c.capture.width) + "x" + std::to_string(r.c.capture.height);
        std::printf("%-10s %10.3f %10.3f %8.3f\n", cap.c_str(), r.bareMs, r.opencvMs, r.writerRatio);
    }
    std::printf("\n");

    bool allMet = true;
    for (const Result& r : results) {
        const bool met = r.ratio <= RatioGoal;
        allMet = allMet && met;
        std::printf("GOAL path <= %.2f x bare at %dx%d: %s (ratio %.3f)\n", RatioGoal, r.c.capture.width,
                    r.c.capture.height, met ? "met" : "NOT MET", r.ratio);
    }
    for (const Result& r : results) {
        if (r.c.capture.width != FpsGoalWidth || r.c.capture.height != FpsGoalHeight)
            continue;
        const double fps = 1000.0 / r.pathMs;
        const bool met = fps >= FpsGoal;
        allMet = allMet && met;
        std::printf(
            "GOAL path >= %.0f fps at %dx%d on one core: %s (%.1f fps CPU-bound, %.1f fps wall clock)\n",
            FpsGoal, FpsGoalWidth, FpsGoalHeight, met ? "met" : "NOT MET", fps, r.pathWallFps);
    }
    return allMet ? 0 : 1;
}
