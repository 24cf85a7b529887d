#pragma once
// The head orientation drawn into every frame: quaternions, the eight sensor axis mappings,
// re-zeroing, the nine manual presets and the keypad section of a click. Free functions are pure;
// HeadPoseStore and HeadState are thread-safe. Invalid inputs fall back or are ignored, never fail.

#include "core/media/HeadTrack.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringView>

#include <array>
#include <mutex>
#include <optional>

namespace tolvek {

// Four single-precision components (w, x, y, z). Never normalised when stored.
struct Quaternion
{
    float w = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    bool operator==(const Quaternion&) const = default;
};

// HeadPose: the orientation the head picture shows.
using HeadPose = Quaternion;

inline constexpr HeadPose InitialHeadPose{0.01f, 0.0f, 0.0f, 0.0f};        // drawn as forward
inline constexpr Quaternion InitialSensorSample{0.01f, 0.0f, 0.0f, 0.0f};  // SensorSample
inline constexpr Quaternion InitialHeadReference{0.99f, 0.0f, 0.0f, 0.0f}; // HeadReference

// Hamilton product q ⊗ r.
Quaternion hamiltonProduct(const Quaternion& q, const Quaternion& r);

// ---- Sensor orientation ----------------------------------------------------------------------

inline constexpr int DirectionCount = 8;
inline constexpr int DefaultSensorDirection = 2;
inline constexpr int FirstDirectionCommand = 32830; // "Gyro Direction" 1..8 are 32830..32837
inline constexpr int ManualHeadCommand = 32809;     // "HeadPosition/Manual"

// The mapping texts of directions 1..8, index 0 = direction 1.
inline constexpr std::array<const char*, DirectionCount> DirectionMappingTexts{
    "1+,3-,2+", "2+,3-,1-", "2-,3-,1+", "1-,3-,2-", "1-,3+,2+", "2-,3+,1-", "2+,3+,1+", "1+,3+,2-"};

// Direction picked by a SensorDirection text: the "%d" value when it is 1..7, otherwise 8.
int sensorDirectionFromSetting(const QString& sensorDirectionText);
// Mapping text of a direction 1..8; any other number gives direction 8's text.
QString directionMappingText(int direction);
// Direction 1..8 of a "Gyro Direction" menu command, or nullopt for any other command.
std::optional<int> directionForCommand(int commandId);
// Menu command of a direction 1..8 (32830..32837); any other number gives direction 8's.
int commandForDirection(int direction);

// DirectionMapping: three groups "<axis><sign>" separated by commas. For output component k
// (x, y, z) the character at 3k names the source ("1" x, "2" y, anything else z) and the one
// at 3k+1 negates it when it is "-". Characters missing from a short text count as "anything
// else". Kept to the first 9 characters, like the fixed buffer it is configured through.
class DirectionMapping
{
  public:
    DirectionMapping(); // direction 2, the default setting, until start-up picks one
    static DirectionMapping fromText(QStringView text);
    static DirectionMapping forDirection(int direction);

    QString text() const { return m_text; }
    // (p.w, pick 0, pick 1, pick 2): the vector part of p permuted and sign-flipped.
    HeadPose apply(const Quaternion& p) const;

    bool operator==(const DirectionMapping& other) const { return m_text == other.m_text; }

  private:
    explicit DirectionMapping(QStringView text);

    QString m_text;
    std::array<int, 3> m_source{}; // 1 x, 2 y, 3 z
    std::array<bool, 3> m_negate{};
};

// ApplyDirectionMapping: mapping applied to reference ⊗ sample. Pure.
HeadPose applyDirectionMapping(const Quaternion& reference, const Quaternion& sample,
                               const DirectionMapping& mapping);

// Re-zero: the reference that makes the current sample face forward. w becomes sample.w, z
// becomes -sample.z, x and y keep the old reference's values. A pure turn about the sensor's z
// axis then maps to (w² + z², 0, 0, 0); tilts about x and y stay visible.
Quaternion rezeroedReference(const Quaternion& reference, const Quaternion& sample);

// ---- Manual positions --------------------------------------------------------------------------

// ManualPoseTable: index 0 = keypad section 1 (lower left) ... index 8 = section 9 (upper right).
inline constexpr std::array<HeadPose, 9> ManualPoseTable{{
    {0.9f, 0.4f, -0.04f, -0.36f},  // 1 lower left
    {0.9f, 0.4f, 0.0f, 0.0f},      // 2 down
    {0.9f, 0.4f, 0.04f, 0.36f},    // 3 lower right
    {0.9f, 0.0f, 0.0f, -0.4f},     // 4 left
    {0.99f, 0.0f, 0.0f, 0.0f},     // 5 forward
    {0.9f, 0.0f, 0.0f, 0.4f},      // 6 right
    {0.9f, -0.4f, -0.04f, -0.28f}, // 7 upper left
    {0.9f, -0.4f, 0.0f, 0.0f},     // 8 up
    {0.9f, -0.4f, 0.04f, 0.28f},   // 9 upper right
}};

inline constexpr int ForwardSection = 5;

// The preset of keypad section 1..9, or nullopt for any other number.
std::optional<HeadPose> manualPose(int section);

// KeypadSection of a point in the video picture rect (L, T, W, H), numeric-keypad layout
// (7 8 9 / 4 5 6 / 1 2 3). Columns split at L + W/3 and L + (2W)/3 (integer division), a point on
// a dividing line belongs to the left or upper part, the left and top edges belong to no section.
// Any point outside the picture, and any point of an empty rect, gives 5.
int keypadSection(QPoint point, QRect liveViewRect);

// ---- Shared state --------------------------------------------------------------------------

// HeadPoseStore: the published HeadPose, with where it came from (a sensor link or a preset
// chosen by hand, and which preset). Written by the sensor link thread and the UI thread,
// read once per frame by the capture thread. A tiny mutex guards the 16-byte copy: with several
// writers a seqlock would need a writer lock as well and per-component atomics to be free of data
// races, and at frame rate against sensor rate the lock is never contended for long.
class HeadPoseStore
{
  public:
    void store(const HeadPose& pose, media::HeadSource source = media::HeadSource::None, int preset = 0);
    HeadPose load() const;
    // Pose, source and preset of one publication, never mixed from two.
    media::HeadSample sample() const;

  private:
    mutable std::mutex m_mutex;
    HeadPose m_pose = InitialHeadPose;
    media::HeadSource m_source = media::HeadSource::None;
    int m_preset = 0;
};

// HeadState: SensorSample, HeadReference and DirectionMapping plus the published HeadPose.
// Sensor link threads call applySensorSample for every sample; the UI thread re-zeroes, picks
// presets and changes the direction. One mutex guards sample, reference and mapping, and the
// pose is published while it is held, so a late sample can never overwrite a newer result.
class HeadState
{
  public:
    // ApplyDirectionMapping as the sensor links use it: stores the sample as SensorSample and
    // publishes the mapped reference ⊗ sample as HeadPose, as coming from `source`.
    void applySensorSample(const Quaternion& sample, media::HeadSource source = media::HeadSource::Serial);
    // The sensor half of "Reset head": the current SensorSample becomes forward. The published
    // pose changes with the next sample.
    void rezero();
    // SetManualPose: publishes the preset of section 1..9. Returns false (and changes nothing)
    // for any other number.
    bool setManualPose(int section);

    // Direction command / start-up pick; takes effect with the next sample.
    void setDirectionMapping(const DirectionMapping& mapping);
    void selectDirection(int direction) { setDirectionMapping(DirectionMapping::forDirection(direction)); }

    DirectionMapping directionMapping() const;
    Quaternion sensorSample() const;
    Quaternion headReference() const;
    HeadPose headPose() const { return m_pose.load(); }
    media::HeadSample headSample() const { return m_pose.sample(); }

    // The store the capture thread's overlay reads from.
    const HeadPoseStore& poseStore() const { return m_pose; }

  private:
    mutable std::mutex m_mutex; // taken before HeadPoseStore's own lock, never the other way
    Quaternion m_sample = InitialSensorSample;
    Quaternion m_reference = InitialHeadReference;
    DirectionMapping m_mapping;
    HeadPoseStore m_pose;
};

} // namespace tolvek
