#include "core/sensor/SensorCommands.h"

#include "core/settings/Settings.h"

namespace tolvek {

namespace {

bool linkRunsInMode(int windowMode)
{
    return windowMode == 0 || windowMode == 1; // recording or live picture
}

} // namespace

std::optional<int> comPortItemForCommand(int commandId)
{
    const int item = commandId - FirstComPortCommand;
    if (item < 0 || item >= ComPortMenuItems)
        return std::nullopt;
    return item;
}

std::optional<SensorCommandEffect> sensorCommandEffect(int commandId, const QString& sensorModeText,
                                                       int windowMode, const QList<ComPortEntry>& listed)
{
    SensorCommandEffect effect;
    if (const std::optional<int> item = comPortItemForCommand(commandId)) {
        if (*item >= listed.size())
            return std::nullopt;
        effect.sensorMode = QStringLiteral("1");
        effect.comPort = listed[*item].deviceName;
        effect.refreshTexts = true;
        effect.stopLink = true;
        effect.startLink = linkRunsInMode(windowMode);
        effect.reapplyMode = effect.startLink;
        return effect;
    }
    if (commandId == PhoneSensorCommand) {
        effect.showPhoneSetup = true;
        if (sensorModeText.contains(u'2')) {
            effect.startLink = linkRunsInMode(windowMode); // does nothing while a link is alive
            return effect;
        }
        effect.sensorMode = QStringLiteral("2");
        effect.refreshTexts = true;
        effect.stopLink = true;
        effect.startLink = linkRunsInMode(windowMode);
        effect.reapplyMode = effect.startLink;
        return effect;
    }
    if (commandId == ManualSensorCommand) {
        if (sensorModeText.contains(u'0'))
            return effect;
        effect.sensorMode = QStringLiteral("0");
        effect.refreshTexts = true;
        effect.stopLink = true;
        effect.reapplyMode = linkRunsInMode(windowMode);
        return effect;
    }
    return std::nullopt;
}

bool reconcileComPortSetting(Settings& settings, const QList<ComPortEntry>& listed,
                             const std::function<bool(const QString&)>& isSerialDevicePath)
{
    const QString current = settings.value(ComPort);
    const QString reconciled =
        reconciledComPort(current, settings.getInt(SensorMode), listed, isSerialDevicePath);
    if (reconciled == current)
        return false;
    settings.setValue(ComPort, reconciled);
    return true;
}

} // namespace tolvek
