// Config file bytes of any kind: decoded, parsed, the capture size derived and the file written
// back; the written file must read back to the same values.
#include "core/settings/Settings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const DecodedConfig decoded = decodeConfigBytes(bytes);
    Settings settings;
    settings.parse(decoded.text);
    settings.updateCaptureSize();
    for (int i = 0; i < SettingCount; ++i) {
        if (settings.value(SettingIndex(i)).size() > MaxSettingLength)
            std::abort();
        settingTextToInt(settings.value(SettingIndex(i)));
        settingTextToSecondInt(settings.value(SettingIndex(i)));
    }
    const QByteArray written = settings.serialize();
    Settings again;
    again.parse(decodeConfigBytes(written).text);
    for (int i = 0; i < SettingCount; ++i)
        if (again.value(SettingIndex(i)) != settings.value(SettingIndex(i)))
            std::abort();
    return 0;
}
