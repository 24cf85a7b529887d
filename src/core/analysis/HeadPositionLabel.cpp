#include "core/analysis/HeadPositionLabel.h"

#include "core/analysis/NystagmusAnalysis.h"

#include <cmath>

namespace tolvek::analysis {

namespace {

constexpr double Pi = 3.14159265358979323846;

} // namespace

QString presetLabel(int section)
{
    static const char* const names[] = {"lower-left", "down",       "lower-right", "left",       "forward",
                                        "right",      "upper-left", "up",          "upper-right"};
    if (section < 1 || section > 9)
        return {};
    return QString::fromLatin1(names[section - 1]);
}

std::optional<double> angleBetween(const Quaternion& a, const Quaternion& b)
{
    const double na =
        std::sqrt(double(a.w) * a.w + double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
    const double nb =
        std::sqrt(double(b.w) * b.w + double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z);
    if (!(na > 1e-6) || !(nb > 1e-6) || !std::isfinite(na) || !std::isfinite(nb))
        return std::nullopt;
    const double dot =
        (double(a.w) * b.w + double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z) / (na * nb);
    return 2.0 * std::acos(std::min(1.0, std::abs(dot))) * 180.0 / Pi;
}

std::optional<int> nearestPreset(const HeadPose& pose, double toleranceDegrees)
{
    std::optional<int> best;
    double bestAngle = 0;
    for (int section = 1; section <= 9; ++section) {
        const std::optional<double> angle = angleBetween(pose, ManualPoseTable[std::size_t(section - 1)]);
        if (angle && *angle <= toleranceDegrees && (!best || *angle < bestAngle)) {
            best = section;
            bestAngle = *angle;
        }
    }
    return best;
}

QString classifyHeadPose(const HeadPose& pose, double toleranceDegrees)
{
    const std::optional<int> section = nearestPreset(pose, toleranceDegrees);
    return section ? presetLabel(*section) : OtherHeadPosition;
}

QString headSampleLabel(const media::HeadSample& sample, double toleranceDegrees)
{
    switch (sample.source) {
    case media::HeadSource::Keypad:
        if (const QString name = presetLabel(sample.preset); !name.isEmpty())
            return name;
        break;
    case media::HeadSource::Serial:
    case media::HeadSource::Phone:
        break;
    case media::HeadSource::None:
        return UnknownHeadPosition;
    }
    return classifyHeadPose(HeadPose{sample.w, sample.x, sample.y, sample.z}, toleranceDegrees);
}

std::vector<QString> headPositionLabels(const std::vector<media::HeadTrackRow>& rows, std::size_t frameCount,
                                        double toleranceDegrees)
{
    std::vector<QString> labels(frameCount, UnknownHeadPosition);
    for (const media::HeadTrackRow& row : rows) {
        if (row.frame >= 0 && std::size_t(row.frame) < frameCount)
            labels[std::size_t(row.frame)] = headSampleLabel(row.sample, toleranceDegrees);
    }
    return labels;
}

} // namespace tolvek::analysis
