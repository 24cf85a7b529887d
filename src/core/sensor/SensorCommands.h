#pragma once
// What the head-sensor menu commands do, as data the main window carries out: the serial-port
// items 32884..32892, the phone item 32844 and "HeadPosition/Manual" 32809. Pure; the window
// writes the settings, refreshes its texts, shows the phone setup box and drives SensorLink in the
// order of the flags below. Also the start-up reconciliation of ComPort as one call.

#include "core/sensor/ComPortList.h"

#include <QString>

#include <optional>

namespace tolvek {

class Settings;

inline constexpr int FirstComPortCommand = 32884; // "com1".."com9": 32884..32892
inline constexpr int PhoneSensorCommand = 32844;  // "HeadPosition/Gyro(phone_WiFi)"
inline constexpr int ManualSensorCommand = 32809; // "HeadPosition/Manual"

// The serial-port item 0..8 of a command, or nullopt for any other command.
std::optional<int> comPortItemForCommand(int commandId);

// The effect of one command. Carried out in this order:
//  1. write sensorMode / comPort when set;
//  2. refreshTexts: re-apply the language texts and tooltips (two follow SensorMode);
//  3. showPhoneSetup: the phone setup box (phoneSetupLines), modal;
//  4. stopLink: SensorLink::stop with the switch wait (SensorSwitchWaitMs);
//  5. startLink: SensorLink::start, showing "Failed to start sensor thread." on Failed;
//  6. reapplyMode: ApplyMode of the current mode ("Reset head" image, tooltips).
struct SensorCommandEffect
{
    std::optional<QString> sensorMode;
    std::optional<QString> comPort;
    bool refreshTexts = false;
    bool showPhoneSetup = false;
    bool stopLink = false;
    bool startLink = false;
    bool reapplyMode = false;
    bool operator==(const SensorCommandEffect&) const = default;
};

// The effect of commandId given the current SensorMode text, the window mode (0 recording,
// 1 live, 2 library, 3 all videos) and the ports listed when the menu was built. nullopt when the
// command is not a sensor command or names a port item beyond the list (nothing to do).
// A change of sensor stops the running link in every mode, so no link of the old kind keeps
// writing the head pose; the new link starts at once only in modes 0 and 1, otherwise with the
// next recording. Choosing the phone again only shows the setup box (and, in modes 0 and 1,
// starts the link if none is alive).
std::optional<SensorCommandEffect> sensorCommandEffect(int commandId, const QString& sensorModeText,
                                                       int windowMode, const QList<ComPortEntry>& listed);

// The start-up reconciliation applied to the settings (see reconciledComPort). Returns true when
// ComPort was changed.
bool reconcileComPortSetting(
    Settings& settings, const QList<ComPortEntry>& listed,
    const std::function<bool(const QString&)>& isSerialDevicePath = isCharacterDevicePath);

} // namespace tolvek
