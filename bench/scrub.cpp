// Scrubbing and playback speed of the player on recorded files of 60 s at 640 x 480 and
// 1280 x 720, measured side by side in one run: the time to show the next, the previous and a
// random frame through the kept-open frame reader, against the time to decode one frame (the
// floor) and against reopening the file for every frame. Then a 10 s stretch is played at 30
// frames a second and checked for skipped frames; the time to open a file is shown beside. Prints
// ratios; asserts nothing.

#include "core/capture/DisplayFrame.h"
#include "core/media/FrameReader.h"
#include "core/media/WmvWriter.h"
#include "core/playback/PlayerThread.h"
#include "core/playback/SliderMath.h"

#include <QDir>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace tolvek;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Fps = 30;
constexpr int Seconds = 60;
constexpr int Bits = 12;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Frames carry their index as bars in the top fifth, over a soft texture and a moving dark disc
// so that the encoder has real work, as with a camera picture of an eye.
cv::Mat makeFrame(int index, int w, int h)
{
    static cv::Mat texture;
    if (texture.cols != w || texture.rows != h) {
        texture.create(h, w, CV_8UC3);
        cv::randu(texture, cv::Scalar(0, 0, 0), cv::Scalar(120, 120, 120));
        cv::GaussianBlur(texture, texture, cv::Size(5, 5), 0);
    }
    cv::Mat m = texture.clone();
    cv::circle(m, {w / 2 + int(40 * std::sin(index * 0.2)), h / 2}, h / 5, cv::Scalar(30, 30, 30),
               cv::FILLED);
    const int bw = w / Bits;
    for (int b = 0; b < Bits; ++b)
        cv::rectangle(m, cv::Rect(b * bw, 0, bw, h / 5),
                      ((index >> b) & 1) ? cv::Scalar(240, 240, 240) : cv::Scalar(10, 10, 10), cv::FILLED);
    return m;
}

int indexOf(const cv::Mat& bgr, bool rgb = false)
{
    if (bgr.empty())
        return -1;
    cv::Mat grey;
    cv::cvtColor(bgr, grey, rgb ? cv::COLOR_RGB2GRAY : cv::COLOR_BGR2GRAY);
    const int bw = grey.cols / Bits;
    const int h = grey.rows / 5;
    int v = 0;
    for (int b = 0; b < Bits; ++b)
        if (cv::mean(grey(cv::Rect(b * bw + bw / 4, h / 4, bw / 2, h / 2)))[0] > 128)
            v |= 1 << b;
    return v;
}

bool writeVideo(const std::string& path, int w, int h)
{
    media::WmvWriter writer;
    if (!writer.open(QString::fromStdString(path), {.width = w, .height = h, .fps = double(Fps)}))
        return false;
    for (int i = 0; i < Fps * Seconds; ++i)
        if (!writer.write(makeFrame(i, w, h)))
            return false;
    return writer.close();
}

struct Result
{
    double floorMs = 0, nextMs = 0, prevMs = 0, randomMs = 0, randomMaxMs = 0, reopenMs = 0;
    double openMs = 0, captureOpenMs = 0, randomDecoded = 0;
    int wrong = 0;
};

Result measureReader(const std::string& path)
{
    Result r;
    const int frames = Fps * Seconds;
    {
        cv::VideoCapture cap(path);
        cv::Mat f;
        for (int i = 0; i < 30; ++i)
            cap.read(f); // warm up
        const auto t0 = Clock::now();
        const int n = 300;
        for (int i = 0; i < n; ++i)
            cap.read(f);
        r.floorMs = msSince(t0) / n;
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> anyFrame(0, frames - 1);
    {
        const int n = 10;
        const auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            cv::VideoCapture cap(path);
            cv::Mat f;
            cap.set(cv::CAP_PROP_POS_FRAMES, anyFrame(rng));
            cap.read(f);
        }
        r.reopenMs = msSince(t0) / n;
    }
    {
        // The frame reader indexes the packets at open; a capture only reads the header.
        const int n = 5;
        auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            FrameReader r;
            r.open(path);
        }
        r.openMs = msSince(t0) / n;
        t0 = Clock::now();
        for (int i = 0; i < n; ++i) {
            cv::VideoCapture cap(path);
            cap.get(cv::CAP_PROP_FRAME_COUNT);
        }
        r.captureOpenMs = msSince(t0) / n;
    }
    FrameReader reader;
    reader.open(path);
    const int start = frames / 2;
    reader.frameAt(start);
    {
        const int n = 300;
        const auto t0 = Clock::now();
        for (int i = 1; i <= n; ++i)
            r.wrong += indexOf(reader.frameAt(start + i)) != start + i;
        r.nextMs = msSince(t0) / n;
    }
    {
        const int n = 300;
        const int from = start + 300;
        const auto t0 = Clock::now();
        for (int i = 1; i <= n; ++i)
            r.wrong += indexOf(reader.frameAt(from - i)) != from - i;
        r.prevMs = msSince(t0) / n;
    }
    {
        const int n = 40;
        double total = 0;
        const int decoded = reader.stats().decoded;
        for (int i = 0; i < n; ++i) {
            const int target = anyFrame(rng);
            const auto t0 = Clock::now();
            r.wrong += indexOf(reader.frameAt(target)) != target;
            const double ms = msSince(t0);
            total += ms;
            r.randomMaxMs = std::max(r.randomMaxMs, ms);
        }
        r.randomMs = total / n;
        r.randomDecoded = double(reader.stats().decoded - decoded) / n;
    }
    return r;
}

struct PlayResult
{
    double seconds = 0;
    int shown = 0, outOfOrder = 0;
};

// Plays frames 600..899 (10 s) at 30 frames a second through the player thread.
PlayResult measurePlayback(const std::string& path, int w, int h)
{
    const int frames = Fps * Seconds;
    PlaybackState state;
    DisplayFrame display;
    state.sliderLength = 1000;
    state.viewWidth = w;
    state.viewHeight = h;
    int p600 = 0, p899 = 0;
    while (sliderToFrame(p600, 1000, frames) < 600)
        ++p600;
    while (sliderToFrame(p899, 1000, frames) < 899)
        ++p899;
    state.rangeStart = p600;
    state.rangeEnd = p899;
    state.paused = true;
    state.requestedFrame = 600;

    PlayerThread::Options o;
    o.path = path;
    o.state = &state;
    o.display = &display;
    o.fps = [] { return Fps; };
    PlayerThread player(std::move(o));
    std::mutex mutex;
    std::vector<int> shown;
    QObject::connect(
        &player, &PlayerThread::frameShown, &player,
        [&] {
            const FrameCopy f = display.copy();
            const cv::Mat m(f.height, f.width, CV_8UC3, const_cast<std::uint8_t*>(f.rgb.data()));
            std::lock_guard lock(mutex);
            shown.push_back(indexOf(m, true));
        },
        Qt::DirectConnection);
    player.start();
    while (true) {
        std::lock_guard lock(mutex);
        if (!shown.empty() && shown.back() == 600)
            break;
    }
    {
        std::lock_guard lock(mutex);
        shown.clear();
    }
    const auto t0 = Clock::now();
    state.paused = false;
    PlayResult r;
    while (true) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (state.paused.load())
            break;
    }
    r.seconds = msSince(t0) / 1000.0;
    player.stop();
    player.wait();
    std::lock_guard lock(mutex);
    // The last entry is the paused start frame.
    for (std::size_t i = 0; i + 1 < shown.size(); ++i) {
        ++r.shown;
        if (shown[i] != 600 + int(i))
            ++r.outOfOrder;
    }
    return r;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    struct Size
    {
        int w, h;
    };
    std::printf("Scrubbing through 60 s WMV files (times in ms per frame shown)\n");
    std::printf("%-10s %7s %7s %7s %7s %7s %9s %9s %8s\n", "size", "floor", "next", "prev", "random", "worst",
                "next/flr", "prev/flr", "reopen");
    std::vector<Result> results;
    std::vector<std::pair<Size, std::string>> files;
    for (Size s : {Size{640, 480}, Size{1280, 720}}) {
        const std::string path = QDir(dir.path()).filePath(QStringLiteral("v%1.wmv").arg(s.w)).toStdString();
        if (!writeVideo(path, s.w, s.h)) {
            std::printf("cannot write %dx%d WMV\n", s.w, s.h);
            return 1;
        }
        files.push_back({s, path});
        const Result r = measureReader(path);
        std::printf("%4dx%-5d %7.2f %7.2f %7.2f %7.1f %7.1f %9.2f %9.2f %8.1f%s\n", s.w, s.h, r.floorMs,
                    r.nextMs, r.prevMs, r.randomMs, r.randomMaxMs, r.nextMs / r.floorMs, r.prevMs / r.floorMs,
                    r.reopenMs, r.wrong ? "  WRONG FRAMES" : "");
        results.push_back(r);
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        std::printf("%4dx%-5d open: frame reader %.1f ms, cv::VideoCapture %.1f ms; "
                    "%.1f frames decoded per random frame\n",
                    files[i].first.w, files[i].first.h, results[i].openMs, results[i].captureOpenMs,
                    results[i].randomDecoded);
    std::printf("Goals: next and previous within 2 x floor; a random frame within 50 ms at 1280x720.\n\n");
    for (const auto& [s, path] : files) {
        const PlayResult p = measurePlayback(path, s.w, s.h);
        std::printf(
            "Playback %4dx%-5d 300 frames at %d fps: %.2f s (expected 10.0), %d shown, %d out of order\n",
            s.w, s.h, Fps, p.seconds, p.shown, p.outOfOrder);
    }
    return 0;
}
