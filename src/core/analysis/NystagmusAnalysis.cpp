#include "core/analysis/NystagmusAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tolvek::analysis {

namespace {

// Half the span, in seconds, over which the typical speed a fast phase must exceed is taken.
constexpr double LocalSeconds = 2.0;

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

struct Trace
{
    std::vector<cv::Point2d> position;
    std::vector<char> valid;
};

// The usable positions, with short gaps bridged by a straight line between their neighbours.
Trace usableTrace(const std::vector<PupilSample>& samples, const NystagmusOptions& options)
{
    const int n = int(samples.size());
    Trace trace;
    trace.position.resize(samples.size());
    trace.valid.assign(samples.size(), 0);
    for (int k = 0; k < n; ++k) {
        const PupilSample& s = samples[std::size_t(k)];
        if (s.found && s.confidence >= options.minConfidence && std::isfinite(s.x) && std::isfinite(s.y)) {
            trace.position[std::size_t(k)] = {s.x, s.y};
            trace.valid[std::size_t(k)] = 1;
        }
    }
    int lastValid = -1;
    for (int k = 0; k < n; ++k) {
        if (!trace.valid[std::size_t(k)])
            continue;
        const int gap = k - lastValid - 1;
        if (lastValid >= 0 && gap > 0 && gap <= options.bridgedGap) {
            const cv::Point2d from = trace.position[std::size_t(lastValid)],
                              to = trace.position[std::size_t(k)];
            for (int j = lastValid + 1; j < k; ++j) {
                const double share = double(j - lastValid) / (k - lastValid);
                trace.position[std::size_t(j)] = from + share * (to - from);
                trace.valid[std::size_t(j)] = 1;
            }
        }
        lastValid = k;
    }
    return trace;
}

// The slope of position over time by least squares: the mean velocity of a drift, little
// disturbed by the noise of single frames.
cv::Point2d fittedVelocity(const std::vector<cv::Point2d>& position, int first, int last, double fps)
{
    const int n = last - first + 1;
    double st = 0, sx = 0, sy = 0;
    for (int k = first; k <= last; ++k) {
        const double t = double(k - first) / fps;
        st += t;
        sx += position[std::size_t(k)].x;
        sy += position[std::size_t(k)].y;
    }
    const double mt = st / n, mx = sx / n, my = sy / n;
    double stt = 0, stx = 0, sty = 0;
    for (int k = first; k <= last; ++k) {
        const double t = double(k - first) / fps - mt;
        stt += t * t;
        stx += t * (position[std::size_t(k)].x - mx);
        sty += t * (position[std::size_t(k)].y - my);
    }
    if (stt <= 0)
        return {0, 0};
    return {stx / stt, sty / stt};
}

struct FastPhase
{
    int firstInterval = 0; // interval k lies between frames k - 1 and k
    int lastInterval = 0;
};

std::optional<cv::Point2d> inDegrees(cv::Point2d pixels, const NystagmusOptions& options)
{
    if (!(options.pixelsPerDegree > 0))
        return std::nullopt;
    return pixels / options.pixelsPerDegree;
}

} // namespace

QString beatDirectionName(BeatDirection direction)
{
    switch (direction) {
    case BeatDirection::Left:
        return QStringLiteral("left");
    case BeatDirection::Right:
        return QStringLiteral("right");
    case BeatDirection::Up:
        return QStringLiteral("up");
    case BeatDirection::Down:
        return QStringLiteral("down");
    case BeatDirection::None:
        break;
    }
    return QStringLiteral("none");
}

BeatDirection beatDirectionOf(cv::Point2d movement)
{
    if (movement.x == 0 && movement.y == 0)
        return BeatDirection::None;
    if (std::abs(movement.x) >= std::abs(movement.y))
        return movement.x > 0 ? BeatDirection::Right : BeatDirection::Left;
    return movement.y > 0 ? BeatDirection::Down : BeatDirection::Up;
}

NystagmusResult analyseNystagmus(const std::vector<PupilSample>& samples, double fps,
                                 const std::vector<QString>& headPositions, const NystagmusOptions& options)
{
    NystagmusResult result;
    const int n = int(samples.size());
    if (n == 0 || !(fps > 0) || !std::isfinite(fps))
        return result;
    const Trace trace = usableTrace(samples, options);
    const auto& p = trace.position;

    // Stretches of usable frames, and the velocity of every interval inside them.
    std::vector<std::pair<int, int>> stretches;
    for (int k = 0; k < n;) {
        if (!trace.valid[std::size_t(k)]) {
            ++k;
            continue;
        }
        int e = k;
        while (e + 1 < n && trace.valid[std::size_t(e + 1)])
            ++e;
        if (e - k + 1 >= 3)
            stretches.emplace_back(k, e);
        k = e + 1;
    }
    std::vector<cv::Point2d> velocity(samples.size());
    std::vector<double> speeds(samples.size(), 0.0), accelerations;
    for (const auto& [s, e] : stretches) {
        for (int k = s + 1; k <= e; ++k) {
            velocity[std::size_t(k)] = (p[std::size_t(k)] - p[std::size_t(k - 1)]) * fps;
            speeds[std::size_t(k)] = cv::norm(velocity[std::size_t(k)]);
            if (k >= s + 2)
                accelerations.push_back(cv::norm(velocity[std::size_t(k)] - velocity[std::size_t(k - 1)]));
        }
    }
    // The measurement noise, from the frame-to-frame change of velocity: nearly zero along a
    // steady drift, so its median reflects the noise, and the few fast phases do not move it.
    // (The median of the length of a 2-D normal difference is about 1.18 sigma of each part,
    // and that difference has twice the variance of one velocity.)
    const double velocityNoise = median(accelerations) / (1.18 * std::sqrt(2.0));
    const double positionNoise = velocityNoise / (std::sqrt(2.0) * fps);
    const double fastFloor = std::max(options.minFastSpeed, 6.0 * velocityNoise);
    const double fastAmplitude = std::max(options.minFastAmplitude, 4.0 * positionNoise);
    // A fast phase is several times faster than the typical movement around it. "Around" is a
    // few seconds, not the whole video: a strong nystagmus in one head position must not hide a
    // weak one in the next.
    const int window = std::max(3, int(std::lround(LocalSeconds * fps)));
    std::vector<double> fastSpeed(samples.size(), fastFloor), nearby;
    for (const auto& [s, e] : stretches) {
        for (int k = s + 1; k <= e; ++k) {
            nearby.clear();
            for (int j = std::max(s + 1, k - window); j <= std::min(e, k + window); ++j)
                nearby.push_back(speeds[std::size_t(j)]);
            fastSpeed[std::size_t(k)] = std::max(fastFloor, 2.5 * median(nearby));
        }
    }

    for (const auto& [s, e] : stretches) {
        std::vector<FastPhase> phases;
        for (int k = s + 1; k <= e; ++k) {
            if (speeds[std::size_t(k)] <= fastSpeed[std::size_t(k)])
                continue;
            FastPhase phase{k, k};
            while (phase.lastInterval + 1 <= e && speeds[std::size_t(phase.lastInterval + 1)] >
                                                      fastSpeed[std::size_t(phase.lastInterval + 1)])
                ++phase.lastInterval;
            // A quick reset seldom fits the frame grid: the frames on either side carry part of
            // it, moving the same way, and belong to it rather than to the drifts around it.
            const cv::Point2d movement =
                p[std::size_t(phase.lastInterval)] - p[std::size_t(phase.firstInterval - 1)];
            const cv::Point2d way = movement / std::max(cv::norm(movement), 1e-9);
            const double margin = 3.0 * velocityNoise;
            while (phase.firstInterval - 1 >= s + 1 &&
                   velocity[std::size_t(phase.firstInterval - 1)].dot(way) > margin)
                --phase.firstInterval;
            while (phase.lastInterval + 1 <= e &&
                   velocity[std::size_t(phase.lastInterval + 1)].dot(way) > margin)
                ++phase.lastInterval;
            if (!phases.empty() && phase.firstInterval <= phases.back().lastInterval + 1)
                phases.back().lastInterval = std::max(phases.back().lastInterval, phase.lastInterval);
            else
                phases.push_back(phase);
            k = phase.lastInterval;
        }

        // Each fast phase ends the slow phase before it: from the end of the previous fast phase
        // (or the stretch's start) to the frame where this one begins.
        int slowFirst = s;
        for (const FastPhase& phase : phases) {
            const int slowLast = phase.firstInterval - 1;
            const cv::Point2d movement = p[std::size_t(phase.lastInterval)] - p[std::size_t(slowLast)];
            const int slowFrames = slowLast - slowFirst + 1;
            if (slowFrames >= 3 && double(slowLast - slowFirst) / fps >= options.minSlowDuration &&
                cv::norm(movement) >= fastAmplitude) {
                const cv::Point2d spv = fittedVelocity(p, slowFirst, slowLast, fps);
                // A beat drifts against its reset; a jump the same way as the drift is a saccade.
                if (cv::norm(spv) >= options.minSlowSpeed && spv.dot(movement) < 0) {
                    Beat beat;
                    beat.firstFrame = slowFirst;
                    beat.lastFrame = slowLast;
                    beat.start = slowFirst / fps;
                    beat.end = slowLast / fps;
                    beat.direction = beatDirectionOf(movement);
                    beat.spv = spv;
                    beat.spvDegrees = inDegrees(spv, options);
                    beat.fastPhase = movement;
                    result.beats.push_back(beat);
                }
            }
            slowFirst = phase.lastInterval;
        }
    }

    // Head-position segments: runs of frames with the same label.
    auto labelOf = [&](int k) {
        return k < int(headPositions.size()) && !headPositions[std::size_t(k)].isEmpty()
                   ? headPositions[std::size_t(k)]
                   : UnknownHeadPosition;
    };
    for (int k = 0; k < n;) {
        const QString label = labelOf(k);
        int e = k;
        while (e + 1 < n && labelOf(e + 1) == label)
            ++e;
        HeadSegment segment;
        segment.firstFrame = k;
        segment.lastFrame = e;
        segment.start = k / fps;
        segment.end = (e + 1) / fps;
        segment.headPosition = label;

        std::array<std::vector<const Beat*>, 5> byDirection;
        int total = 0;
        for (const Beat& beat : result.beats) {
            if (beat.firstFrame >= k && beat.lastFrame <= e) {
                byDirection[std::size_t(beat.direction)].push_back(&beat);
                ++total;
            }
        }
        std::size_t dominant = 0;
        for (std::size_t d = 1; d < byDirection.size(); ++d) {
            if (byDirection[d].size() > byDirection[dominant].size())
                dominant = d;
        }
        const int count = int(byDirection[dominant].size());
        if (dominant != 0 && count >= options.minBeats && count >= options.minBeatShare * total) {
            segment.direction = BeatDirection(dominant);
            segment.beats = count;
            segment.beatsPerSecond = count / (segment.end - segment.start);
            cv::Point2d sum(0, 0);
            for (const Beat* beat : byDirection[dominant])
                sum += beat->spv;
            segment.meanSpv = sum / count;
            segment.meanSpvDegrees = inDegrees(segment.meanSpv, options);
        }
        result.segments.push_back(segment);
        k = e + 1;
    }
    return result;
}

} // namespace tolvek::analysis
