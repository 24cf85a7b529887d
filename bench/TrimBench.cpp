// Trim and Change ID against the ffmpeg program re-encoding the same video to WMV2 with the same
// encoder settings, side by side in one run. The source is a recording of the simulated eye camera
// (640 x 480, 30 fps, stamped as the recorder stamps), made once per run. Each of the three is
// timed by wall clock, alternately, and the throughput ratio is the median over the rounds.
// Goal: Trim and Change ID each reach at least 1.0 x ffmpeg's throughput.
// Usage: bench_Trim [seconds of video, default 120] [rounds, default 3]

#include "Median.h"
#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/manage/TrimWorker.h"
#include "core/media/WmvWriter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace tolvek;
using tolvek::bench::median;

namespace {

constexpr int W = 640, H = 480, Fps = 30;

bool makeSource(const QString& path, int seconds)
{
    media::WmvWriter writer;
    if (!writer.open(path, {.width = W, .height = H, .fps = double(Fps)}))
        return false;
    SimulatedEyeSource::Options o;
    o.width = W;
    o.height = H;
    o.fps = Fps;
    SimulatedEyeSource eye(o);
    cv::Mat frame;
    const QDateTime start(QDate(2026, 1, 5), QTime(9, 0));
    for (int k = 0; k < seconds * Fps; ++k) {
        eye.renderFrame(k, frame);
        stampFrame(frame, 0, start.addMSecs(qint64(k) * 1000 / Fps), 4711);
        if (!writer.write(frame))
            return false;
    }
    return writer.close();
}

double runWorker(const QString& source, const QString& target, bool reId)
{
    QFile::remove(target);
    auto state = std::make_shared<TrimWorkerState>();
    state->sourcePath = source;
    state->targetPath = target;
    state->fps = Fps;
    state->sliderLength = 1000;
    state->rangeStart = 0;
    state->rangeEnd = reId ? 0 : 1000;
    state->newId = 815;
    state->running = true;
    QElapsedTimer t;
    t.start();
    reId ? ReburnIdWorker(state) : TrimWorker(state);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return state->result == TrimResult::Done ? ms : -1;
}

double runFfmpeg(const QString& source, const QString& target)
{
    QFile::remove(target);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-y", "-i", source, "-c:v", "wmv2", "-g",
                                       QString::number(media::WmvWriter::KeyFrameInterval), "-qmin",
                                       QString::number(media::WmvWriter::MinQuantiser), "-b:v",
                                       QString::number(qint64(W) * H * Fps), target});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 120;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("0000471120260105090000.wmv"));
    std::printf("Making a %d s %dx%d source...\n", seconds, W, H);
    std::fflush(stdout);
    if (!makeSource(source, seconds)) {
        std::fprintf(stderr, "bench_Trim: the source could not be written\n");
        return 2;
    }
    std::vector<double> trimMs, reIdMs, ffmpegMs, trimRatio, reIdRatio;
    for (int r = 0; r < rounds; ++r) {
        const double f = runFfmpeg(source, dir.filePath(QStringLiteral("ffmpeg.wmv")));
        const double t = runWorker(source, dir.filePath(QStringLiteral("0000471120260105090001.wmv")), false);
        const double i = runWorker(source, dir.filePath(QStringLiteral("0000081520260105090000.wmv")), true);
        if (f < 0 || t < 0 || i < 0) {
            std::fprintf(stderr, "bench_Trim: a run failed (ffmpeg %.0f, trim %.0f, re-ID %.0f)\n", f, t, i);
            return 2;
        }
        ffmpegMs.push_back(f);
        trimMs.push_back(t);
        reIdMs.push_back(i);
        trimRatio.push_back(f / t);
        reIdRatio.push_back(f / i);
    }
    std::printf("\n%-10s %12s %12s\n", "", "wall s", "throughput");
    std::printf("%-10s %12.2f %12s\n", "ffmpeg", median(ffmpegMs) / 1000, "1.00");
    std::printf("%-10s %12.2f %12.2f\n", "trim", median(trimMs) / 1000, median(trimRatio));
    std::printf("%-10s %12.2f %12.2f\n", "change ID", median(reIdMs) / 1000, median(reIdRatio));
    const bool met = median(trimRatio) >= 1.0 && median(reIdRatio) >= 1.0;
    std::printf("\nGOAL trim and change ID >= 1.0 x ffmpeg: %s\n", met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
