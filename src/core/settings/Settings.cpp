#include "core/settings/Settings.h"

#include <QStringDecoder>

#include <climits>

namespace tolvek {

const std::array<SettingDef, SettingCount>& settingDefs()
{
    static const std::array<SettingDef, SettingCount> defs{{
        {"(*)Video Capture size(x,y):", "640,480"},
        {"(*)Video Capture FPS:", "30"},
        {"(*)Maximum recording time (min):", "10"},
        {"COM-PORT:", "255"},
        {"Sensor Mode 0/off 1/Arduino 2/SmartPhone:", "0"},
        {"Sensor Direction (1-8):", "2"},
        {"Camera Number:", "0"},
        {"Sisei 1/supine 2/sit:", "1"},
        {"ID history:",
         "00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123"},
        {"ListAviColumnSizes:", "120,220,100,500,500"},
        {"Show ToolTips:", "1"},
        {"BackupFolder:", ""},
        {"SaveFolder:", ""},
        {"Language:", "0"},
    }};
    return defs;
}

namespace {

bool isScanSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// One "%d" conversion starting at pos: leading white space skipped, optional sign, at least one
// digit. A number beyond the int range is unusable. On success pos is left after the digits.
bool scanInt(const QString& s, qsizetype& pos, int& out)
{
    qsizetype i = pos;
    while (i < s.size() && isScanSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    const qsizetype digitsStart = i;
    long long value = 0;
    bool overflow = false;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        value = value * 10 + (s[i].unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            overflow = true, value = static_cast<long long>(INT_MAX) + 1;
        ++i;
    }
    if (i == digitsStart)
        return false;
    if (negative)
        value = -value;
    if (overflow || value > INT_MAX || value < INT_MIN)
        return false;
    out = static_cast<int>(value);
    pos = i;
    return true;
}

// "%d,%d": the comma must follow the first number directly, as in scanf.
bool scanPair(const QString& s, int& first, int& second)
{
    qsizetype pos = 0;
    if (!scanInt(s, pos, first))
        return false;
    if (pos >= s.size() || s[pos] != u',')
        return false;
    ++pos;
    return scanInt(s, pos, second);
}

} // namespace

int settingTextToInt(const QString& value)
{
    if (value.isEmpty())
        return -1;
    const qsizetype commas = value.count(u',');
    int first = 0, second = 0;
    if (commas > 0) {
        if (commas != 1 || !scanPair(value, first, second))
            return -1;
        return first;
    }
    qsizetype pos = 0;
    return scanInt(value, pos, first) ? first : -1;
}

int settingTextToSecondInt(const QString& value)
{
    int first = 0, second = 0;
    if (value.count(u',') != 1 || !scanPair(value, first, second))
        return -1;
    return second;
}

bool isStrictUtf8(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        int follow = 0;
        if (b < 0x80)
            follow = 0;
        else if ((b & 0xE0) == 0xC0)
            follow = 1;
        else if ((b & 0xF0) == 0xE0)
            follow = 2;
        else if ((b & 0xF8) == 0xF0)
            follow = 3;
        else
            return false;
        if (i + follow >= n && follow > 0)
            return false;
        for (int k = 1; k <= follow; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += 1 + follow;
    }
    return true;
}

QString decodeWindows1252(const QByteArray& bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to the C1 controls as
    // Windows itself does, so decoding never fails.
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return out;
}

DecodedConfig decodeConfigBytes(const QByteArray& bytes)
{
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        // With a BOM the data is taken as UTF-8; invalid sequences become replacement characters.
        return {QString::fromUtf8(bytes.mid(3)), true};
    }
    if (isStrictUtf8(bytes))
        return {QString::fromUtf8(bytes), true};
    return {decodeWindows1252(bytes), false};
}

namespace {

// The 259-unit cut, without leaving at the end what a saved line cannot give back: a carriage
// return (read as part of the line end) or the first half of a surrogate pair.
QString cutSettingValue(const QString& value)
{
    QString cut = value.left(MaxSettingLength);
    if (cut.size() < value.size() && !cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    while (cut.endsWith(u'\r'))
        cut.chop(1);
    return cut;
}

} // namespace

Settings::Settings()
{
    resetToDefaults();
}

QString Settings::value(SettingIndex index) const
{
    std::lock_guard lock(m_mutex);
    return m_values.at(index);
}

void Settings::setValue(SettingIndex index, const QString& value)
{
    std::lock_guard lock(m_mutex);
    m_values.at(index) = cutSettingValue(value);
}

bool Settings::contains(SettingIndex index, QChar c) const
{
    return value(index).contains(c);
}

int Settings::getInt(SettingIndex index) const
{
    return settingTextToInt(value(index));
}

int Settings::getCaptureHeight() const
{
    return settingTextToSecondInt(value(CaptureSize));
}

void Settings::updateCaptureSize()
{
    const int w = getInt(CaptureSize);
    const int h = getCaptureHeight();
    // A frame size of zero, a negative or missing number, or a size no camera delivers would
    // divide by zero in the layout or exhaust memory in the recorder: fall back to 640 x 480.
    const bool usable = w >= 16 && h >= 16 && w <= 8192 && h <= 8192;
    m_captureWidth = usable ? w : FallbackCaptureWidth;
    m_captureHeight = usable ? h : FallbackCaptureHeight;
    m_captureSizeFallback = !usable;
}

void Settings::resetToDefaults()
{
    {
        std::lock_guard lock(m_mutex);
        for (int i = 0; i < SettingCount; ++i)
            m_values[i] = QString::fromUtf8(settingDefs()[i].defaultValue);
    }
    updateCaptureSize();
}

void Settings::clear()
{
    std::lock_guard lock(m_mutex);
    for (auto& v : m_values)
        v.clear();
}

int Settings::parse(const QString& text)
{
    std::array<bool, SettingCount> matched{};
    std::array<QString, SettingCount> keys;
    for (int i = 0; i < SettingCount; ++i)
        keys[i] = QString::fromUtf8(settingDefs()[i].key);

    int matchedLines = 0;
    const QStringList lines = text.split(u'\n');
    std::lock_guard lock(m_mutex);
    for (QString line : lines) {
        while (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        bool any = false;
        for (int i = 0; i < SettingCount; ++i) {
            if (!line.startsWith(keys[i]))
                continue;
            QString value = line.mid(keys[i].size());
            while (value.endsWith(u'\r') || value.endsWith(u'\n'))
                value.chop(1);
            m_values[i] = cutSettingValue(value);
            matched[i] = true;
            any = true;
        }
        matchedLines += any ? 1 : 0;
    }
    for (int i = 0; i < SettingCount; ++i)
        if (!matched[i])
            m_values[i] = QString::fromUtf8(settingDefs()[i].defaultValue);
    return matchedLines;
}

QByteArray Settings::serialize() const
{
    std::lock_guard lock(m_mutex);
    QByteArray out;
    for (int i = 0; i < SettingCount; ++i) {
        out += settingDefs()[i].key;
        out += m_values[i].toUtf8();
        out += "\r\n";
    }
    return out;
}

Settings& appSettings()
{
    static Settings settings;
    return settings;
}

} // namespace tolvek
