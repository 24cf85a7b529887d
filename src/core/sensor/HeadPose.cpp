#include "core/sensor/HeadPose.h"

#include "core/settings/Settings.h"

namespace tolvek {

Quaternion hamiltonProduct(const Quaternion& q, const Quaternion& r)
{
    return {
        q.w * r.w - q.x * r.x - q.y * r.y - q.z * r.z,
        q.w * r.x + q.x * r.w + q.y * r.z - q.z * r.y,
        q.w * r.y - q.x * r.z + q.y * r.w + q.z * r.x,
        q.w * r.z + q.x * r.y - q.y * r.x + q.z * r.w,
    };
}

int sensorDirectionFromSetting(const QString& sensorDirectionText)
{
    const int n = settingTextToInt(sensorDirectionText);
    return n >= 1 && n <= 7 ? n : 8;
}

QString directionMappingText(int direction)
{
    if (direction < 1 || direction > DirectionCount)
        direction = DirectionCount;
    return QString::fromLatin1(DirectionMappingTexts[direction - 1]);
}

std::optional<int> directionForCommand(int commandId)
{
    const int direction = commandId - FirstDirectionCommand + 1;
    if (direction < 1 || direction > DirectionCount)
        return std::nullopt;
    return direction;
}

int commandForDirection(int direction)
{
    if (direction < 1 || direction > DirectionCount)
        direction = DirectionCount;
    return FirstDirectionCommand + direction - 1;
}

DirectionMapping::DirectionMapping() : DirectionMapping(directionMappingText(DefaultSensorDirection)) {}

DirectionMapping::DirectionMapping(QStringView text) : m_text(text.left(9).toString())
{
    const auto at = [this](qsizetype i) { return i < m_text.size() ? m_text[i] : QChar(); };
    for (int k = 0; k < 3; ++k) {
        const QChar axis = at(3 * k);
        m_source[k] = axis == u'1' ? 1 : axis == u'2' ? 2 : 3;
        m_negate[k] = at(3 * k + 1) == u'-';
    }
}

DirectionMapping DirectionMapping::fromText(QStringView text)
{
    return DirectionMapping(text);
}

DirectionMapping DirectionMapping::forDirection(int direction)
{
    return fromText(directionMappingText(direction));
}

HeadPose DirectionMapping::apply(const Quaternion& p) const
{
    std::array<float, 3> picks{};
    for (int k = 0; k < 3; ++k) {
        const float v = m_source[k] == 1 ? p.x : m_source[k] == 2 ? p.y : p.z;
        picks[k] = m_negate[k] ? -v : v;
    }
    return {p.w, picks[0], picks[1], picks[2]};
}

HeadPose applyDirectionMapping(const Quaternion& reference, const Quaternion& sample,
                               const DirectionMapping& mapping)
{
    return mapping.apply(hamiltonProduct(reference, sample));
}

Quaternion rezeroedReference(const Quaternion& reference, const Quaternion& sample)
{
    return {sample.w, reference.x, reference.y, -sample.z};
}

std::optional<HeadPose> manualPose(int section)
{
    if (section < 1 || section > 9)
        return std::nullopt;
    return ManualPoseTable[section - 1];
}

int keypadSection(QPoint point, QRect liveViewRect)
{
    const int l = liveViewRect.left();
    const int t = liveViewRect.top();
    const int w = liveViewRect.width();
    const int h = liveViewRect.height();
    if (w <= 0 || h <= 0)
        return ForwardSection;
    const int x1 = l + w / 3, x2 = l + (2 * w) / 3, x3 = l + w;
    const int y1 = t + h / 3, y2 = t + (2 * h) / 3, y3 = t + h;
    const int px = point.x(), py = point.y();
    if (px <= l || px > x3 || py <= t || py > y3)
        return ForwardSection;
    const int column = px <= x1 ? 1 : px <= x2 ? 2 : 3;
    const int row = py <= y1 ? 1 : py <= y2 ? 2 : 3;
    // Keypad layout: the top row holds 7 8 9, the bottom row 1 2 3.
    return (3 - row) * 3 + column;
}

void HeadPoseStore::store(const HeadPose& pose, media::HeadSource source, int preset)
{
    std::lock_guard lock(m_mutex);
    m_pose = pose;
    m_source = source;
    m_preset = source == media::HeadSource::Keypad ? preset : 0;
}

media::HeadSample HeadPoseStore::sample() const
{
    std::lock_guard lock(m_mutex);
    return {m_source, m_pose.w, m_pose.x, m_pose.y, m_pose.z, m_preset};
}

HeadPose HeadPoseStore::load() const
{
    std::lock_guard lock(m_mutex);
    return m_pose;
}

void HeadState::applySensorSample(const Quaternion& sample, media::HeadSource source)
{
    std::lock_guard lock(m_mutex);
    m_sample = sample;
    m_pose.store(applyDirectionMapping(m_reference, m_sample, m_mapping), source);
}

void HeadState::rezero()
{
    std::lock_guard lock(m_mutex);
    m_reference = rezeroedReference(m_reference, m_sample);
}

bool HeadState::setManualPose(int section)
{
    const std::optional<HeadPose> pose = manualPose(section);
    if (!pose)
        return false;
    std::lock_guard lock(m_mutex);
    m_pose.store(*pose, media::HeadSource::Keypad, section);
    return true;
}

void HeadState::setDirectionMapping(const DirectionMapping& mapping)
{
    std::lock_guard lock(m_mutex);
    m_mapping = mapping;
}

DirectionMapping HeadState::directionMapping() const
{
    std::lock_guard lock(m_mutex);
    return m_mapping;
}

Quaternion HeadState::sensorSample() const
{
    std::lock_guard lock(m_mutex);
    return m_sample;
}

Quaternion HeadState::headReference() const
{
    std::lock_guard lock(m_mutex);
    return m_reference;
}

} // namespace tolvek
