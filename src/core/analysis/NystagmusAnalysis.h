#pragma once
// Jerk nystagmus from a pupil position trace: the quick resets (fast phases) are found by their
// speed, the drifts between them (slow phases) are measured by a straight-line fit, and every
// slow phase ended by a fast phase counts as one beat. Beats are then summed up per head-position
// segment. A stretch without a steady run of beats one way reports no nystagmus.
// Pure functions on plain data; any thread. Empty or unusable input gives empty results.

#include "core/analysis/PupilTracker.h"

#include <QString>

#include <opencv2/core.hpp>

#include <optional>
#include <vector>

namespace tolvek::analysis {

// The direction of a beat: that of its fast phase, in the picture (x grows to the right, y
// downwards), named by the axis along which it moves most.
enum class BeatDirection { None, Left, Right, Up, Down };
// "none", "left", "right", "up", "down".
QString beatDirectionName(BeatDirection direction);
BeatDirection beatDirectionOf(cv::Point2d movement);

// The head position given to every frame when no head data comes with the video.
inline const QString UnknownHeadPosition = QStringLiteral("unknown");

struct NystagmusOptions
{
    // Pixels of pupil movement per degree of eye rotation, where calibrated; 0 when not.
    double pixelsPerDegree = 0.0;
    // Frames measured with less confidence count as missing.
    double minConfidence = 0.5;
    // Gaps of up to this many missing frames inside a stretch are bridged by a straight line.
    int bridgedGap = 2;
    // A fast phase moves at least this fast (pixels per second) and at least this far (pixels).
    double minFastSpeed = 30.0;
    double minFastAmplitude = 1.0;
    // A slow phase lasts at least this long (seconds) and drifts at least this fast (px/s).
    double minSlowDuration = 0.09;
    double minSlowSpeed = 1.0;
    // A segment shows nystagmus when at least this many beats go one way, and they are at least
    // this share of its beats.
    int minBeats = 3;
    double minBeatShare = 0.6;
};

struct Beat
{
    int firstFrame = 0; // the slow phase's frames, inclusive
    int lastFrame = 0;
    double start = 0.0; // its start and end in seconds
    double end = 0.0;
    BeatDirection direction = BeatDirection::None;
    cv::Point2d spv;                       // slow-phase velocity, pixels per second
    std::optional<cv::Point2d> spvDegrees; // the same in degrees per second, where calibrated
    cv::Point2d fastPhase;                 // the fast phase's movement in pixels
};

struct HeadSegment
{
    int firstFrame = 0; // inclusive
    int lastFrame = 0;
    double start = 0.0; // seconds; end is the end of the last frame
    double end = 0.0;
    QString headPosition;
    BeatDirection direction = BeatDirection::None; // None: no nystagmus
    int beats = 0;                                 // beats of that direction inside the segment
    double beatsPerSecond = 0.0;
    cv::Point2d meanSpv; // mean slow-phase velocity of those beats, px/s (0 without nystagmus)
    std::optional<cv::Point2d> meanSpvDegrees;
};

struct NystagmusResult
{
    std::vector<Beat> beats; // in time order
    std::vector<HeadSegment> segments;
};

// samples: one per frame at `fps` frames per second, frame k at k / fps seconds. headPositions:
// one label per frame (frames past its end, and every frame when it is empty, are "unknown");
// consecutive frames with the same label form one segment. A beat belongs to the segment that
// holds its whole slow phase; one spanning a change of position is listed but counted in neither.
NystagmusResult analyseNystagmus(const std::vector<PupilSample>& samples, double fps,
                                 const std::vector<QString>& headPositions = {},
                                 const NystagmusOptions& options = {});

} // namespace tolvek::analysis
