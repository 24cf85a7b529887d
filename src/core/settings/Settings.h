#pragma once
// The fourteen configuration values, kept as text and parsed by each reader when it needs them.
// Thread-safety: every access takes one internal mutex for the copy of a value only, so worker
// threads may read while the UI thread writes. Failure modes: none; unusable numbers read as -1.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <mutex>

namespace tolvek {

enum SettingIndex : int {
    CaptureSize = 0,
    CaptureFps,
    MaxRecordingMinutes,
    ComPort,
    SensorMode,
    SensorDirection,
    CameraNumber,
    Posture,
    IdHistory,
    ListColumnWidths,
    ShowToolTips,
    BackupFolder,
    SaveFolder,
    Language,
    SettingCount
};

struct SettingDef
{
    const char* key;          // literal key, colon included, UTF-8
    const char* defaultValue; // UTF-8
};

// The key and default of every entry, in file order.
const std::array<SettingDef, SettingCount>& settingDefs();

// Longest value kept, in UTF-16 units; longer values are cut.
inline constexpr int MaxSettingLength = 259;

// Fallback frame size when the configured size is unusable (missing, zero, negative or absurd).
inline constexpr int FallbackCaptureWidth = 640;
inline constexpr int FallbackCaptureHeight = 480;

// Integer value of a setting text: "" -> -1; with a comma exactly one comma and "%d,%d" must
// give both numbers, result the first; without a comma "%d"; anything else -1.
int settingTextToInt(const QString& value);
// Second number of a "w,h" text, or -1.
int settingTextToSecondInt(const QString& value);

// Decoded config bytes: a UTF-8 BOM is skipped; strictly valid UTF-8 decodes as UTF-8, anything
// else (including empty data) as Windows-1252, which never fails.
struct DecodedConfig
{
    QString text;
    bool wasUtf8 = false;
};
DecodedConfig decodeConfigBytes(const QByteArray& bytes);
bool isStrictUtf8(const QByteArray& bytes);
QString decodeWindows1252(const QByteArray& bytes);

class Settings
{
  public:
    Settings();

    QString value(SettingIndex index) const;
    void setValue(SettingIndex index, const QString& value);
    // True when the entry's text contains the character c (the choice settings are tested so).
    bool contains(SettingIndex index, QChar c) const;

    int getInt(SettingIndex index) const; // GetSettingInt
    int getCaptureHeight() const;         // GetCaptureHeight: second number of CaptureSize, or -1

    // The frame size fixed at load time (after the fallback for unusable sizes).
    int captureWidth() const { return m_captureWidth; }
    int captureHeight() const { return m_captureHeight; }
    bool captureSizeWasFallback() const { return m_captureSizeFallback; }
    void updateCaptureSize();

    void resetToDefaults();
    void clear();
    // Applies every recognised line of a decoded config text; entries no line names get their
    // defaults. Returns how many lines matched a key.
    int parse(const QString& text);
    // The file as written: fourteen "key" + "value" + CR LF lines, UTF-8 without BOM.
    QByteArray serialize() const;

  private:
    mutable std::mutex m_mutex;
    std::array<QString, SettingCount> m_values;
    int m_captureWidth = FallbackCaptureWidth;
    int m_captureHeight = FallbackCaptureHeight;
    bool m_captureSizeFallback = false;
};

// The process-wide settings of the running application.
Settings& appSettings();

} // namespace tolvek
