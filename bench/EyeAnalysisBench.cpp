// The pupil tracker and the nystagmus analysis against the simulated eye camera's own truth, on
// videos made through the real recording path (the camera's picture, the head picture and the
// date-time and ID boxes burnt in, WmvWriter, FrameReader), one variant per row, side by side in
// one run. OpenCV is held to one thread, so the speed is that of one core.
// Goals: pupil centre error <= 1.0 px RMS on frames with confidence >= 0.5, and >= 95 % of the
// frames without a blink at that confidence; slow-phase velocity within 10 % (or 2 px/s where it
// is below 20 px/s); beat count within +-10 %; the beat direction right; no nystagmus on fixation;
// tracking and analysis at least 5 x real time at 640 x 480, 30 fps; memory flat in video length.
// Usage: bench_EyeAnalysis [seconds per video, default 20]

#include "core/analysis/NystagmusAnalysis.h"
#include "core/analysis/PupilTracker.h"
#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/FrameReader.h"
#include "core/media/WmvWriter.h"
#include "core/sensor/HeadOverlay.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace tolvek;
using analysis::BeatDirection;
using Beat = SimulatedEyeSource::Beat;

namespace {

constexpr int W = 640, H = 480, Fps = 30;

struct Variant
{
    const char* name;
    std::function<void(SimulatedEyeSource::Options&)> set;
};

bool makeVideo(const QString& path, const SimulatedEyeSource& eye, int frames)
{
    media::WmvWriter writer;
    media::WmvWriterSettings settings;
    settings.width = W;
    settings.height = H;
    settings.fps = Fps;
    if (!writer.open(path, settings))
        return false;
    cv::Mat frame;
    const QDateTime start(QDate(2026, 1, 5), QTime(9, 0));
    for (int k = 0; k < frames; ++k) {
        eye.renderFrame(k, frame);
        // As the recorder does: the boxes first, then the head picture.
        stampFrame(frame, 0, start.addMSecs(qint64(k) * 1000 / Fps), 4711);
        drawHeadOverlay(frame, ManualPoseTable[4], 2);
        if (!writer.write(frame))
            return false;
    }
    return writer.close();
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

struct Measured
{
    std::vector<analysis::PupilSample> samples;
    analysis::NystagmusResult result;
    double decodeSeconds = 0, trackSeconds = 0, analyseSeconds = 0;
    long rssGrowthKb = 0;
};

Measured measure(const QString& path)
{
    Measured m;
    FrameReader reader(std::size_t(4) << 20);
    if (!reader.open(path.toStdString()))
        return m;
    analysis::PupilTracker tracker(analysis::burntInAreas({W, H}));
    const long rssBefore = residentKb();
    long rssPeak = rssBefore;
    QElapsedTimer t;
    for (int k = 0;; ++k) {
        t.start();
        const cv::Mat frame = reader.readNext();
        m.decodeSeconds += double(t.nsecsElapsed()) / 1e9;
        if (frame.empty())
            break;
        t.start();
        m.samples.push_back(tracker.track(frame));
        m.trackSeconds += double(t.nsecsElapsed()) / 1e9;
        if (k % 50 == 0)
            rssPeak = std::max(rssPeak, residentKb());
    }
    t.start();
    m.result = analysis::analyseNystagmus(m.samples, reader.fpsProperty());
    m.analyseSeconds = double(t.nsecsElapsed()) / 1e9;
    m.rssGrowthKb = std::max(rssPeak, residentKb()) - rssBefore;
    return m;
}

// The model's slow-phase velocity over a measured beat's time span: the steady drift along the
// beat's axis plus the mean of the slow sway across it.
cv::Point2d trueSpv(const SimulatedEyeSource& eye, double t0, double t1)
{
    cv::Point2d v = eye.slowPhaseVelocity();
    if (t1 <= t0)
        return v;
    const cv::Point2d mean = (eye.pupilCentreAt(t1) - eye.pupilCentreAt(t0)) / (t1 - t0);
    if (eye.options().beat == Beat::Horizontal || eye.options().beat == Beat::None)
        v.y = mean.y;
    else if (eye.options().beat == Beat::Vertical)
        v.x = mean.x;
    return v;
}

// The quick resets the model makes within the video, each ending one beat.
int trueBeats(const SimulatedEyeSource& eye, double seconds)
{
    if (eye.options().beat == Beat::None)
        return 0;
    int n = 0;
    cv::Point2d last = eye.pupilCentreAt(0);
    int slowSteps = 0;
    bool inReset = false;
    const cv::Point2d way = eye.slowPhaseVelocity();
    for (double t = 0.001; t <= seconds; t += 0.001) {
        const cv::Point2d now = eye.pupilCentreAt(t);
        const bool back = (now - last).dot(way) < 0;
        if (back && !inReset && slowSteps > 0)
            ++n;
        slowSteps = back ? 0 : slowSteps + 1;
        inReset = back;
        last = now;
    }
    return n;
}

BeatDirection trueDirection(const SimulatedEyeSource& eye)
{
    return eye.options().beat == Beat::None ? BeatDirection::None
                                            : analysis::beatDirectionOf(-eye.slowPhaseVelocity());
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    cv::setNumThreads(1);
    QTemporaryDir dir;

    const Variant variants[] = {{"default", [](auto&) {}},
                                {"small pupil", [](auto& o) { o.pupilShare = 0.22; }},
                                {"large pupil", [](auto& o) { o.pupilShare = 0.7; }},
                                {"low contrast", [](auto& o) { o.pupilLevel = 55; }},
                                {"blur 2.5 px", [](auto& o) { o.blurSigma = 2.5; }},
                                {"noise 10", [](auto& o) { o.noiseSigma = 10; }},
                                {"glint on edge",
                                 [](auto& o) {
                                     o.glintX = 0.3;
                                     o.glintY = 0.3;
                                     o.glintFollow = 1.0;
                                 }},
                                {"glint central",
                                 [](auto& o) {
                                     o.glintX = 0.0;
                                     o.glintY = 0.05;
                                     o.glintFollow = 1.0;
                                 }},
                                {"blinks 3 s",
                                 [](auto& o) {
                                     o.blinkInterval = 3.0;
                                     o.blinkDuration = 0.3;
                                 }},
                                {"lid 35 %", [](auto& o) { o.lidCover = 0.35; }},
                                {"vertical", [](auto& o) { o.beat = Beat::Vertical; }},
                                {"oblique", [](auto& o) { o.beat = Beat::Oblique; }},
                                {"slow small",
                                 [](auto& o) {
                                     o.amplitude = 0.006;
                                     o.beatHz = 1.0;
                                 }},
                                {"fixation", [](auto& o) {
                                     o.beat = Beat::None;
                                     o.noiseSigma = 6;
                                 }}};

    std::printf(
        "Videos of %d s, %dx%d at %d fps, through WmvWriter and FrameReader; OpenCV on one thread.\n\n",
        seconds, W, H, Fps);
    std::printf("%-14s %7s %7s %6s %9s %9s %8s %8s %8s %8s\n", "variant", "rms px", "conf%", "wrong", "beats",
                "dir", "spv err", "spv ok%", "x RT", "x RT+dec");
    bool rmsMet = true, confMet = true, spvMet = true, countMet = true, dirMet = true, speedMet = true;
    double totalVideo = 0, totalWork = 0;
    std::vector<std::string> misses;
    int seed = 3;
    for (const Variant& v : variants) {
        SimulatedEyeSource::Options o;
        o.width = W;
        o.height = H;
        o.fps = Fps;
        o.seed = std::uint32_t(seed++);
        v.set(o);
        const SimulatedEyeSource eye(o);
        const int frames = seconds * Fps;
        const QString path = dir.filePath(QStringLiteral("eye.wmv"));
        if (!makeVideo(path, eye, frames)) {
            std::fprintf(stderr, "bench_EyeAnalysis: the %s video could not be written\n", v.name);
            return 2;
        }
        const Measured m = measure(path);
        if (int(m.samples.size()) != frames) {
            std::fprintf(stderr, "bench_EyeAnalysis: %s: %zu of %d frames decoded\n", v.name,
                         m.samples.size(), frames);
            return 2;
        }

        // Position: error on confident frames; share of blink-free frames that are confident;
        // confident frames during a blink more than 2 px off.
        double squares = 0;
        int confident = 0, open = 0, openConfident = 0, wrong = 0;
        for (int k = 0; k < frames; ++k) {
            const analysis::PupilSample& s = m.samples[std::size_t(k)];
            const bool blink = eye.blinking(k);
            open += !blink;
            if (!s.found || s.confidence < 0.5)
                continue;
            const double e = cv::norm(cv::Point2d(s.x, s.y) - eye.pupilCentre(k));
            squares += e * e;
            ++confident;
            openConfident += !blink;
            wrong += blink && e > 2.0;
        }
        const double rms = std::sqrt(squares / std::max(confident, 1));
        const double confShare = 100.0 * openConfident / std::max(open, 1);

        // Beats: slow-phase velocity per beat against the model's, their number and direction.
        int spvOk = 0;
        std::vector<double> spvErrors;
        for (const analysis::Beat& b : m.result.beats) {
            const cv::Point2d truth = trueSpv(eye, b.start, b.end);
            const double error = cv::norm(b.spv - truth);
            const double truthSpeed = cv::norm(truth);
            const bool ok = truthSpeed < 20.0 ? error <= 2.0 : error <= 0.10 * truthSpeed;
            spvOk += ok;
            spvErrors.push_back(truthSpeed < 20.0 ? error : 100.0 * error / truthSpeed);
        }
        std::sort(spvErrors.begin(), spvErrors.end());
        const double spvMedian = spvErrors.empty() ? 0.0 : spvErrors[spvErrors.size() / 2];
        const bool slowTruth = cv::norm(eye.slowPhaseVelocity()) < 20.0;
        const int expected = trueBeats(eye, double(frames) / Fps);
        const analysis::HeadSegment& segment = m.result.segments.front();
        const BeatDirection wanted = trueDirection(eye);
        const bool directionRight = segment.direction == wanted;
        const int counted = segment.direction == BeatDirection::None ? 0 : segment.beats;
        const bool countRight =
            expected == 0 ? counted == 0 : std::abs(counted - expected) <= 0.10 * expected;
        const double spvOkShare =
            m.result.beats.empty() ? 100.0 : 100.0 * spvOk / double(m.result.beats.size());

        const double videoSeconds = double(frames) / Fps;
        const double work = m.trackSeconds + m.analyseSeconds;
        const double rt = videoSeconds / work;
        const double rtDecode = videoSeconds / (work + m.decodeSeconds);
        totalVideo += videoSeconds;
        totalWork += work;

        char beats[32], direction[32], spv[32];
        std::snprintf(beats, sizeof beats, "%d/%d", counted, expected);
        std::snprintf(direction, sizeof direction, "%s/%s",
                      analysis::beatDirectionName(segment.direction).toLatin1().constData(),
                      analysis::beatDirectionName(wanted).toLatin1().constData());
        if (spvErrors.empty())
            std::snprintf(spv, sizeof spv, "-");
        else
            std::snprintf(spv, sizeof spv, slowTruth ? "%.2fpx/s" : "%.1f%%", spvMedian);
        std::printf("%-14s %7.3f %7.1f %6d %9s %9s %8s %8.0f %8.1f %8.1f\n", v.name, rms, confShare, wrong,
                    beats, direction, spv, spvOkShare, rt, rtDecode);

        std::string miss;
        if (rms > 1.0)
            miss += " rms";
        if (confShare < 95.0)
            miss += " confidence";
        if (wrong > 0)
            miss += " wrong-in-blink";
        if (spvOkShare < 90.0)
            miss += " spv";
        if (!countRight)
            miss += " count";
        if (!directionRight)
            miss += " direction";
        if (rt < 5.0)
            miss += " speed";
        rmsMet &= rms <= 1.0 && wrong == 0;
        confMet &= confShare >= 95.0;
        spvMet &= spvOkShare >= 90.0;
        countMet &= countRight;
        dirMet &= directionRight;
        speedMet &= rt >= 5.0;
        if (!miss.empty())
            misses.push_back(std::string(v.name) + ":" + miss);
    }
    std::printf("\nrms px: centre error on frames with confidence >= 0.5; conf%%: blink-free frames at that\n"
                "confidence; wrong: confident frames during a blink more than 2 px off; beats and dir:\n"
                "measured/true for the whole video; spv err: median per-beat error (%% of the true SPV, or\n"
                "px/s where it is below 20 px/s); spv ok%%: beats within the goal; x RT: video seconds per\n"
                "second of tracking and analysis, without and with decoding.\n");

    // Memory: the growth of the resident set while a short and a four times longer video are
    // analysed; flat means the frames are streamed, not held.
    long growth[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        SimulatedEyeSource::Options o;
        o.seed = 1;
        const SimulatedEyeSource eye(o);
        const QString path = dir.filePath(QStringLiteral("long%1.wmv").arg(i));
        const int frames = (i == 0 ? 15 : 60) * Fps;
        if (!makeVideo(path, eye, frames)) {
            std::fprintf(stderr, "bench_EyeAnalysis: the memory video could not be written\n");
            return 2;
        }
        growth[i] = measure(path).rssGrowthKb;
    }
    const bool memoryMet = growth[1] <= growth[0] + 4096;
    std::printf("\nresident set growth while analysing: 15 s %ld kB, 60 s %ld kB\n", growth[0], growth[1]);
    std::printf("overall: %.1f x real time for tracking and analysis\n\n", totalVideo / totalWork);

    std::printf("GOAL centre error <= 1.0 px RMS, no wrong confident position in blinks: %s\n",
                rmsMet ? "met" : "NOT MET");
    std::printf("GOAL >= 95 %% of blink-free frames at confidence >= 0.5: %s\n", confMet ? "met" : "NOT MET");
    std::printf("GOAL SPV within 10 %% (2 px/s below 20 px/s) on >= 90 %% of beats: %s\n",
                spvMet ? "met" : "NOT MET");
    std::printf("GOAL beat count within +-10 %%, none on fixation: %s\n", countMet ? "met" : "NOT MET");
    std::printf("GOAL beat direction right: %s\n", dirMet ? "met" : "NOT MET");
    std::printf("GOAL tracking + analysis >= 5 x real time on one core: %s\n", speedMet ? "met" : "NOT MET");
    std::printf("GOAL memory flat in video length (60 s within 4 MB of 15 s): %s\n",
                memoryMet ? "met" : "NOT MET");
    for (const std::string& miss : misses)
        std::printf("  missed by %s\n", miss.c_str());
    return rmsMet && confMet && spvMet && countMet && dirMet && speedMet && memoryMet ? 0 : 1;
}
