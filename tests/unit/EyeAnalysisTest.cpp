// Eye measurement: the pupil tracker on the simulated camera's pictures and on real recordings,
// the nystagmus analysis on traces and videos, head-position labels, and the --analyse command.
#include "core/analysis/AnalyseCommand.h"
#include "core/analysis/AnalysisFiles.h"
#include "core/analysis/HeadPositionLabel.h"
#include "core/analysis/NystagmusAnalysis.h"
#include "core/analysis/PupilTracker.h"
#include "core/analysis/VideoAnalysis.h"
#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/sensor/HeadOverlay.h"
#include "support/SimulatedEyeVideo.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace tolvek;
using namespace tolvek::analysis;
using tolvek::test::recordSimulatedEye;
using tolvek::test::SimulatedEyeVideo;
using tolvek::test::TempDir;

namespace {

SimulatedEyeSource::Options eyeOptions(std::uint32_t seed)
{
    SimulatedEyeSource::Options o;
    o.seed = seed;
    return o;
}

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// A jerk nystagmus trace: drift at `spv` px/s for slowFrames, reset in one frame, repeated.
std::vector<PupilSample> sawtooth(cv::Point2d spv, int slowFrames, int frames, double fps,
                                  double noise = 0.05)
{
    std::vector<PupilSample> samples;
    cv::RNG rng(7);
    cv::Point2d p(320, 240);
    for (int k = 0; k < frames; ++k) {
        if (k % (slowFrames + 1) == slowFrames)
            p -= spv * (slowFrames / fps); // the reset takes back the whole drift
        else if (k > 0)
            p += spv / fps;
        samples.push_back({true, p.x + rng.gaussian(noise), p.y + rng.gaussian(noise), 30.0, 1.0});
    }
    return samples;
}

// runAnalyseCommand with its error lines caught; the status it returns.
int runAnalyse(const QStringList& videos, const QString& out, QByteArray& errors)
{
    std::FILE* stdoutFile = std::tmpfile();
    std::FILE* stderrFile = std::tmpfile();
    if (!stdoutFile || !stderrFile)
        return -1;
    const int status = runAnalyseCommand(videos, out, stdoutFile, stderrFile);
    std::rewind(stderrFile);
    errors.clear();
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, stderrFile))
        errors += buffer;
    std::fclose(stdoutFile);
    std::fclose(stderrFile);
    return status;
}

} // namespace

TEST(PupilTracker, MasksCoverEverythingTheRecorderBurnsIn)
{
    for (const cv::Size size : {cv::Size(640, 480), cv::Size(1280, 720), cv::Size(200, 100)}) {
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        const cv::Mat blank(size, CV_8UC3, cv::Scalar(100, 100, 100));
        cv::Mat stamped = blank.clone();
        stampFrame(stamped, 0, QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 990)), 88888888);
        drawHeadOverlay(stamped, ManualPoseTable[0], 1);
        cv::Mat changed;
        cv::absdiff(stamped, blank, changed);
        cv::Mat covered(size, CV_8UC1, cv::Scalar(0));
        for (const cv::Rect& r : burntInAreas(size)) {
            EXPECT_EQ(r & cv::Rect(cv::Point(), size), r);
            covered(r).setTo(255);
        }
        cv::Mat grey;
        cv::cvtColor(changed, grey, cv::COLOR_BGR2GRAY);
        grey.setTo(0, covered);
        EXPECT_EQ(cv::countNonZero(grey), 0);
    }
}

TEST(PupilTracker, FindsTheSimulatedPupilToAFractionOfAPixel)
{
    struct Case
    {
        const char* name;
        std::function<void(SimulatedEyeSource::Options&)> set;
    };
    const Case cases[] = {
        {"default", [](auto&) {}},
        {"small pupil", [](auto& o) { o.pupilShare = 0.22; }},
        {"low contrast, blurred, noisy",
         [](auto& o) {
             o.pupilLevel = 50;
             o.blurSigma = 2.0;
             o.noiseSigma = 9.0;
         }},
        {"reflection on the pupil's edge",
         [](auto& o) {
             o.glintX = 0.3;
             o.glintY = 0.3;
             o.glintFollow = 1.0;
         }},
        {"lid over the pupil's top", [](auto& o) { o.lidCover = 0.35; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedEyeSource::Options o = eyeOptions(5);
        c.set(o);
        const SimulatedEyeSource eye(o);
        PupilTracker tracker(burntInAreas(eye.frameSize()));
        cv::Mat frame;
        for (int k = 0; k < 40; k += 3) {
            eye.renderFrame(k, frame);
            const PupilSample s = tracker.track(frame);
            ASSERT_TRUE(s.found) << "frame " << k;
            EXPECT_GE(s.confidence, 0.5) << "frame " << k;
            EXPECT_LT(cv::norm(cv::Point2d(s.x, s.y) - eye.pupilCentre(k)), 0.5) << "frame " << k;
            EXPECT_NEAR(s.radius, eye.pupilRadius(k), 1.5) << "frame " << k;
        }
    }
}

TEST(PupilTracker, BlinksGiveLowConfidenceNotAWrongPosition)
{
    SimulatedEyeSource::Options o = eyeOptions(2);
    o.blinkInterval = 1.0;
    o.blinkDuration = 0.4;
    const SimulatedEyeSource eye(o);
    PupilTracker tracker(burntInAreas(eye.frameSize()));
    cv::Mat frame;
    int closed = 0;
    for (int k = 0; k < 60; ++k) {
        eye.renderFrame(k, frame);
        const PupilSample s = tracker.track(frame);
        if (s.found && s.confidence >= 0.5) {
            EXPECT_LT(cv::norm(cv::Point2d(s.x, s.y) - eye.pupilCentre(k)), 2.0) << "frame " << k;
        }
        if (eye.visiblePupilShare(k) < 0.05) {
            ++closed;
            EXPECT_FALSE(s.found) << "frame " << k << " confidence " << s.confidence;
            EXPECT_LT(s.confidence, PupilTracker::MinimumConfidence) << "frame " << k;
        }
        if (!eye.blinking(k)) {
            EXPECT_GE(s.confidence, 0.5) << "open eye, frame " << k;
        }
    }
    EXPECT_GE(closed, 4); // the blinks really hid the pupil for a while

    // No eye at all: an even grey picture and one of noise alone.
    cv::Mat flat(480, 640, CV_8UC3, cv::Scalar(120, 120, 120));
    EXPECT_FALSE(tracker.track(flat).found);
    cv::Mat noise(480, 640, CV_8UC1);
    cv::randn(noise, 120, 10);
    EXPECT_FALSE(tracker.track(noise).found);
    EXPECT_FALSE(tracker.track(cv::Mat()).found);
}

TEST(NystagmusAnalysis, BeatsOfATraceInEveryDirection)
{
    struct Case
    {
        cv::Point2d spv;
        BeatDirection direction;
    };
    const Case cases[] = {{{-40, 0}, BeatDirection::Right},
                          {{40, 3}, BeatDirection::Left},
                          {{2, 30}, BeatDirection::Up},
                          {{-5, -60}, BeatDirection::Down}};
    for (const Case& c : cases) {
        SCOPED_TRACE(beatDirectionName(c.direction).toStdString());
        const double fps = 30;
        NystagmusOptions options;
        options.pixelsPerDegree = 4.0;
        // 9 frames of drift and a one-frame reset: 3 beats per second for 10 s.
        const NystagmusResult r = analyseNystagmus(sawtooth(c.spv, 9, 300, fps), fps, {}, options);
        ASSERT_GE(r.beats.size(), 28u);
        for (const Beat& b : r.beats) {
            EXPECT_EQ(b.direction, c.direction);
            EXPECT_LT(cv::norm(b.spv - c.spv), 0.05 * cv::norm(c.spv)) << b.start;
            ASSERT_TRUE(b.spvDegrees.has_value());
            EXPECT_NEAR(b.spvDegrees->x, b.spv.x / 4.0, 1e-9);
        }
        ASSERT_EQ(r.segments.size(), 1u);
        const HeadSegment& s = r.segments.front();
        EXPECT_EQ(s.headPosition, UnknownHeadPosition);
        EXPECT_EQ(s.direction, c.direction);
        EXPECT_DOUBLE_EQ(s.start, 0.0);
        EXPECT_DOUBLE_EQ(s.end, 10.0);
        EXPECT_NEAR(s.beatsPerSecond, 3.0, 0.15);
        EXPECT_LT(cv::norm(s.meanSpv - c.spv), 0.03 * cv::norm(c.spv));
    }
}

TEST(NystagmusAnalysis, WeakNystagmusAfterAStrongOneIsStillFound)
{
    // Ten seconds beating right at 300 px/s, then ten seconds beating left at 15 px/s, its resets
    // (135 px/s) far slower than the first half's drift.
    const double fps = 30;
    std::vector<PupilSample> trace = sawtooth({-300, 0}, 9, 300, fps);
    const std::vector<PupilSample> weak = sawtooth({15, 0}, 9, 300, fps);
    trace.insert(trace.end(), weak.begin(), weak.end());
    std::vector<QString> labels(300, QStringLiteral("left"));
    labels.resize(600, QStringLiteral("right"));
    const NystagmusResult r = analyseNystagmus(trace, fps, labels);
    ASSERT_EQ(r.segments.size(), 2u);
    EXPECT_EQ(r.segments[0].direction, BeatDirection::Right);
    EXPECT_EQ(r.segments[1].direction, BeatDirection::Left);
    EXPECT_GE(r.segments[1].beats, 27);
    EXPECT_NEAR(r.segments[1].meanSpv.x, 15.0, 1.0);
}

TEST(NystagmusAnalysis, FixationAndGapsGiveNoBeats)
{
    const double fps = 30;
    // A steady gaze with tracker noise and a slow sway: no nystagmus.
    std::vector<PupilSample> fixation;
    cv::RNG rng(3);
    for (int k = 0; k < 600; ++k)
        fixation.push_back(
            {true, 320 + rng.gaussian(0.3), 240 + 4 * std::sin(k / 20.0) + rng.gaussian(0.3), 30, 0.9});
    NystagmusResult r = analyseNystagmus(fixation, fps);
    EXPECT_TRUE(r.beats.empty());
    ASSERT_EQ(r.segments.size(), 1u);
    EXPECT_EQ(r.segments[0].direction, BeatDirection::None);
    EXPECT_EQ(r.segments[0].beats, 0);
    EXPECT_EQ(summaryCsv(r.segments).split('\n')[1], "0.0000,20.0000,unknown,none,0,0.000,,");

    // A beating trace whose every other beat has a lost frame in the middle of its reset: the
    // beats on either side of a loss are not measured across it.
    std::vector<PupilSample> gappy = sawtooth({-40, 0}, 9, 300, fps);
    for (std::size_t k = 9; k < gappy.size(); k += 20)
        for (std::size_t j = k; j < std::min(k + 4, gappy.size()); ++j)
            gappy[j].confidence = 0.1;
    r = analyseNystagmus(gappy, fps);
    for (const Beat& b : r.beats) {
        for (int k = b.firstFrame; k <= b.lastFrame; ++k)
            EXPECT_GE(gappy[std::size_t(k)].confidence, 0.5) << "beat at " << b.start << " spans a gap";
    }
    EXPECT_GE(r.beats.size(), 10u);

    EXPECT_TRUE(analyseNystagmus({}, fps).segments.empty());
    EXPECT_TRUE(analyseNystagmus(fixation, 0.0).segments.empty());
}

TEST(HeadPositionLabel, PresetsAndSensorPoses)
{
    for (int section = 1; section <= 9; ++section) {
        const HeadPose preset = ManualPoseTable[std::size_t(section - 1)];
        EXPECT_EQ(nearestPreset(preset), section);
        // A sensor reading a little off the preset, and the same orientation negated.
        const Quaternion tilt{0.999f, 0.04f, 0.0f, 0.0f}; // about 4.6 degrees
        EXPECT_EQ(nearestPreset(hamiltonProduct(preset, tilt)), section);
        EXPECT_EQ(nearestPreset({-preset.w, -preset.x, -preset.y, -preset.z}), section);
    }
    EXPECT_EQ(classifyHeadPose(ManualPoseTable[4]), QStringLiteral("forward"));
    EXPECT_EQ(classifyHeadPose(ManualPoseTable[3]), QStringLiteral("left"));
    EXPECT_EQ(classifyHeadPose(InitialHeadPose), QStringLiteral("forward"));
    // Turned 90 degrees about the vertical axis: far from every preset.
    EXPECT_EQ(classifyHeadPose({0.7071f, 0.0f, 0.0f, 0.7071f}), OtherHeadPosition);
    EXPECT_EQ(classifyHeadPose({0, 0, 0, 0}), OtherHeadPosition);
    EXPECT_EQ(classifyHeadPose({NAN, 0, 0, 1}), OtherHeadPosition);
    EXPECT_NEAR(*angleBetween(ManualPoseTable[4], {0.7071f, 0.0f, 0.0f, 0.7071f}), 90.0, 0.1);
    EXPECT_TRUE(presetLabel(0).isEmpty());

    // A frame's head data: the keypad's preset by name, a sensor's pose by its nearest preset.
    using media::HeadSample, media::HeadSource;
    EXPECT_EQ(headSampleLabel({HeadSource::Keypad, 0.9f, 0.0f, 0.0f, 0.4f, 6}), QStringLiteral("right"));
    EXPECT_EQ(headSampleLabel({HeadSource::Serial, 0.9f, 0.0f, 0.0f, -0.4f, 0}), QStringLiteral("left"));
    EXPECT_EQ(headSampleLabel({HeadSource::Phone, 0.7071f, 0.0f, 0.0f, 0.7071f, 0}), OtherHeadPosition);
    EXPECT_EQ(headSampleLabel({HeadSource::None, 0.01f, 0.0f, 0.0f, 0.0f, 0}), UnknownHeadPosition);
    const std::vector<QString> labels =
        headPositionLabels({{1, 0.04, {HeadSource::Keypad, 0.99f, 0, 0, 0, 8}}}, 3);
    EXPECT_EQ(labels, (std::vector<QString>{UnknownHeadPosition, QStringLiteral("up"), UnknownHeadPosition}));
}

TEST(VideoAnalysis, RecordedVideoAgreesWithTheSimulatedTruth)
{
    TempDir dir;
    const SimulatedEyeSource eye(eyeOptions(11));
    const int frames = 120;
    const QString path = recordSimulatedEye(dir.file(QStringLiteral("eye.wmv")), eye, frames);
    ASSERT_FALSE(path.isEmpty());

    const VideoAnalysis a = analyseVideo(path);
    ASSERT_TRUE(a.ok) << a.error.toStdString();
    ASSERT_EQ(a.samples.size(), std::size_t(frames));
    double squares = 0;
    int confident = 0;
    for (int k = 0; k < frames; ++k) {
        const PupilSample& s = a.samples[std::size_t(k)];
        if (s.found && s.confidence >= 0.5) {
            ++confident;
            squares += std::pow(cv::norm(cv::Point2d(s.x, s.y) - eye.pupilCentre(k)), 2);
        }
    }
    EXPECT_GE(confident, frames * 95 / 100);
    EXPECT_LT(std::sqrt(squares / std::max(confident, 1)), 1.0);

    ASSERT_EQ(a.nystagmus.segments.size(), 1u);
    const HeadSegment& s = a.nystagmus.segments.front();
    const BeatDirection fast = eye.slowPhaseDirection() > 0 ? BeatDirection::Left : BeatDirection::Right;
    EXPECT_EQ(s.direction, fast);
    const double expectedBeats = eye.beatFrequency() * frames / eye.nominalFps();
    EXPECT_NEAR(s.beats, expectedBeats, 0.1 * expectedBeats + 1);
    EXPECT_NEAR(s.meanSpv.x, eye.slowPhaseVelocity().x, 0.1 * std::abs(eye.slowPhaseVelocity().x));
}

TEST(VideoAnalysis, HeadPositionChangeGivesTwoSummaryRows)
{
    TempDir dir;
    const SimulatedEyeSource eye(eyeOptions(4));
    const int frames = 180;
    const HeadPose forward = ManualPoseTable[4], right = ManualPoseTable[5];
    const auto poseAt = [&](int k) { return k < frames / 2 ? forward : right; };
    SimulatedEyeVideo turning;
    turning.headPose = poseAt;
    const QString path = recordSimulatedEye(dir.file(QStringLiteral("turn.wmv")), eye, frames, turning);
    ASSERT_FALSE(path.isEmpty());

    std::vector<QString> labels;
    for (int k = 0; k < frames; ++k)
        labels.push_back(classifyHeadPose(poseAt(k)));
    const VideoAnalysis a = analyseVideo(path, labels);
    ASSERT_TRUE(a.ok) << a.error.toStdString();
    const auto& segments = a.nystagmus.segments;
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0].headPosition, QStringLiteral("forward"));
    EXPECT_EQ(segments[1].headPosition, QStringLiteral("right"));
    EXPECT_DOUBLE_EQ(segments[0].start, 0.0);
    EXPECT_DOUBLE_EQ(segments[0].end, 3.0);
    EXPECT_DOUBLE_EQ(segments[1].start, 3.0);
    EXPECT_DOUBLE_EQ(segments[1].end, 6.0);
    for (const HeadSegment& s : segments) {
        EXPECT_NE(s.direction, BeatDirection::None);
        EXPECT_NEAR(s.beatsPerSecond, eye.beatFrequency(), 0.6);
    }
    const QStringList rows = QString::fromUtf8(summaryCsv(segments)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("0.0000,3.0000,forward,"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("3.0000,6.0000,right,"))) << rows[2].toStdString();
}

TEST(VideoAnalysis, TheHeadDataBesideTheVideoLabelsItsFrames)
{
    TempDir dir;
    const SimulatedEyeSource eye(eyeOptions(4));
    const int frames = 180;
    const QString path =
        recordSimulatedEye(dir.file(QStringLiteral("0000000120260302101500.wmv")), eye, frames);
    ASSERT_FALSE(path.isEmpty());
    // The forward preset chosen on the keypad, then a phone reporting a pose near "right".
    std::vector<media::HeadTrackRow> rows;
    const HeadPose right = hamiltonProduct(ManualPoseTable[5], {0.999f, 0.0f, 0.03f, 0.0f});
    for (int k = 0; k < frames; ++k) {
        const media::HeadSample sample =
            k < frames / 2
                ? media::HeadSample{media::HeadSource::Keypad, 0.99f, 0, 0, 0, 5}
                : media::HeadSample{media::HeadSource::Phone, right.w, right.x, right.y, right.z, 0};
        rows.push_back({k, k / eye.nominalFps(), sample});
    }
    const QByteArray whole = media::formatHeadTrack(rows);
    ASSERT_TRUE(dir.write(QStringLiteral("0000000120260302101500.head.csv"), whole));

    VideoAnalysis a = analyseVideo(path);
    ASSERT_TRUE(a.ok) << a.error.toStdString();
    EXPECT_EQ(a.headData, media::HeadTrackRead::Status::Ok);
    ASSERT_EQ(a.nystagmus.segments.size(), 2u);
    EXPECT_EQ(a.nystagmus.segments[0].headPosition, QStringLiteral("forward"));
    EXPECT_EQ(a.nystagmus.segments[1].headPosition, QStringLiteral("right"));
    EXPECT_DOUBLE_EQ(a.nystagmus.segments[1].start, 3.0);

    // --analyse writes the same two summary rows.
    QByteArray errors;
    const QString out = dir.file(QStringLiteral("out"));
    EXPECT_EQ(runAnalyse({path}, out, errors), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    const QStringList summary = linesOf(out + QStringLiteral("/0000000120260302101500.summary.csv"));
    ASSERT_EQ(summary.size(), 3);
    EXPECT_TRUE(summary[1].startsWith(QStringLiteral("0.0000,3.0000,forward,"))) << summary[1].toStdString();
    EXPECT_TRUE(summary[2].startsWith(QStringLiteral("3.0000,6.0000,right,"))) << summary[2].toStdString();

    // Damaged head data: the video is still analysed, the unreadable rows' frames are "unknown",
    // and the command says so once while still writing its files.
    QByteArray damaged = whole;
    damaged.replace("\n100,", "\n100,x");
    ASSERT_TRUE(dir.write(QStringLiteral("0000000120260302101500.head.csv"), damaged));
    a = analyseVideo(path);
    ASSERT_TRUE(a.ok) << a.error.toStdString();
    EXPECT_EQ(a.headData, media::HeadTrackRead::Status::Damaged);
    EXPECT_FALSE(a.headDataProblem.isEmpty());
    ASSERT_EQ(a.nystagmus.segments.size(), 4u);
    EXPECT_EQ(a.nystagmus.segments[2].headPosition, UnknownHeadPosition);
    EXPECT_EQ(runAnalyse({path}, out, errors), 0);
    EXPECT_EQ(errors.trimmed().count('\n'), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("head data")) << errors.toStdString();

    // Not head data at all, or none: every frame "unknown", one summary row.
    for (const QByteArray& bytes : {QByteArray("\x01\x02garbage"), QByteArray()}) {
        QFile::remove(dir.file(QStringLiteral("0000000120260302101500.head.csv")));
        if (!bytes.isEmpty()) {
            ASSERT_TRUE(dir.write(QStringLiteral("0000000120260302101500.head.csv"), bytes));
        }
        a = analyseVideo(path);
        ASSERT_TRUE(a.ok) << a.error.toStdString();
        ASSERT_EQ(a.nystagmus.segments.size(), 1u);
        EXPECT_EQ(a.nystagmus.segments[0].headPosition, UnknownHeadPosition);
    }
}

TEST(AnalyseCommand, WritesThreeFilesPerVideoAndReportsEachUnreadableOne)
{
    TempDir dir;
    const SimulatedEyeSource eye(eyeOptions(8));
    const QString good = recordSimulatedEye(dir.file(QStringLiteral("0000000120260302101500.wmv")), eye, 45);
    ASSERT_FALSE(good.isEmpty());
    ASSERT_TRUE(dir.write(QStringLiteral("broken.wmv"), QByteArray(5000, 'x')));
    const QString broken = dir.file(QStringLiteral("broken.wmv"));
    const QString missing = dir.file(QStringLiteral("missing.wmv"));
    const QString out = dir.file(QStringLiteral("results/today"));

    QByteArray errors;
    EXPECT_EQ(runAnalyse({broken, good, missing}, out, errors), 1);
    const QList<QByteArray> errorLines = errors.trimmed().split('\n');
    ASSERT_EQ(errorLines.size(), 2) << errors.toStdString();
    EXPECT_TRUE(errorLines[0].contains("broken.wmv")) << errors.toStdString();
    EXPECT_TRUE(errorLines[1].contains("missing.wmv")) << errors.toStdString();

    const QString base = out + QStringLiteral("/0000000120260302101500");
    const QStringList eyeRows = linesOf(base + QStringLiteral(".eye.csv"));
    ASSERT_EQ(eyeRows.size(), 46);
    EXPECT_EQ(eyeRows[0], QLatin1String(EyeCsvHeader));
    EXPECT_EQ(eyeRows[0], QStringLiteral("frame,time_s,x_px,y_px,radius_px,confidence"));
    EXPECT_TRUE(eyeRows[1].startsWith(QStringLiteral("0,0.0000,"))) << eyeRows[1].toStdString();
    EXPECT_EQ(eyeRows[1].split(u',').size(), 6);
    EXPECT_EQ(linesOf(base + QStringLiteral(".beats.csv")).value(0),
              QStringLiteral("start_s,end_s,direction,spv_x_px_s,spv_y_px_s"));
    EXPECT_GE(linesOf(base + QStringLiteral(".beats.csv")).size(), 3);
    EXPECT_EQ(linesOf(base + QStringLiteral(".summary.csv")).value(0),
              QStringLiteral("start_s,end_s,head_position,beat_direction,beats,beats_per_s,mean_spv_x_px_s,"
                             "mean_spv_y_px_s"));
    EXPECT_EQ(linesOf(base + QStringLiteral(".summary.csv")).size(), 2);
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/broken.eye.csv")));
    // Nothing but the three files: no working file left behind.
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 3);

    // An output folder that cannot be made (a file stands at its name) is one line too.
    EXPECT_EQ(runAnalyse({good}, broken + QStringLiteral("/sub"), errors), 1);
    EXPECT_EQ(errors.trimmed().count('\n'), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains("cannot create the output folder")) << errors.toStdString();
    EXPECT_EQ(runAnalyse({good}, out, errors), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
}

TEST(AnalyseCommand, ProgramRunsWithoutDisplayOrConfiguration)
{
    TempDir dir;
    const SimulatedEyeSource eye(eyeOptions(9));
    const QString good = recordSimulatedEye(dir.file(QStringLiteral("eye.wmv")), eye, 30);
    ASSERT_FALSE(good.isEmpty());
    const QString data = dir.file(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(data));

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("TOLVEK_DATA_DIR"), data);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TOLVEK_BINARY_DIR "/tolvek"),
            {QStringLiteral("--analyse"), good, dir.file(QStringLiteral("nothing.wmv"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    const QList<QByteArray> errors = p.readAllStandardError().trimmed().split('\n');
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("nothing.wmv"));
    for (const char* suffix : {".eye.csv", ".beats.csv", ".summary.csv"})
        EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("eye") + QLatin1String(suffix)))) << suffix;
    // Neither the configuration nor anything else was made in the data folder.
    EXPECT_TRUE(QDir(data).isEmpty());
}
