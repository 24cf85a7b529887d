#pragma once
// Names for head positions: the nine keypad presets by name, and a sensor orientation matched to
// the nearest preset within a tolerance. Used to label every frame for the per-position summary.
// Pure; any thread. A pose with a zero or non-finite component never matches a preset.

#include "core/media/HeadTrack.h"
#include "core/sensor/HeadPose.h"

#include <QString>

#include <optional>
#include <vector>

namespace tolvek::analysis {

// The label of keypad section 1..9 ("lower-left", "down", "lower-right", "left", "forward",
// "right", "upper-left", "up", "upper-right"); empty for any other number.
QString presetLabel(int section);

// The label a pose outside every preset's tolerance gets.
inline const QString OtherHeadPosition = QStringLiteral("other");

// The rotation angle in degrees between two orientations (either need not be normalised; q and
// -q are the same orientation). nullopt when either has no usable length.
std::optional<double> angleBetween(const Quaternion& a, const Quaternion& b);

// The keypad section (1..9) whose preset lies nearest to the pose, when within toleranceDegrees;
// nullopt otherwise.
std::optional<int> nearestPreset(const HeadPose& pose, double toleranceDegrees = 15.0);

// presetLabel(nearestPreset(pose)), or "other".
QString classifyHeadPose(const HeadPose& pose, double toleranceDegrees = 15.0);

// The label of one frame's head data: the preset's name for a preset chosen on the keypad, the
// nearest preset of a sensor's pose (classifyHeadPose), "unknown" when nothing set the pose.
QString headSampleLabel(const media::HeadSample& sample, double toleranceDegrees = 15.0);

// One label per frame 0 .. frameCount - 1 from a video's head-data rows; a frame without a row is
// "unknown". When rows name a frame twice, the last one counts.
std::vector<QString> headPositionLabels(const std::vector<media::HeadTrackRow>& rows, std::size_t frameCount,
                                        double toleranceDegrees = 15.0);

} // namespace tolvek::analysis
