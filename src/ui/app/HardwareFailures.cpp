#include "ui/app/HardwareFailures.h"

#include "core/i18n/UiTexts.h"
#include "core/sensor/PhoneDatagram.h"
#include "ui/shared/DeviceProblemText.h"

namespace tolvek {

std::optional<QString> sensorOpenFailureText(SensorKind kind, SensorLinkEnd reason, const QString& port,
                                             const platform::DeviceDiagnosis& device)
{
    if (kind == SensorKind::Phone) {
        if (reason == SensorLinkEnd::BindFailed)
            return uiText(TxtPhonePortInUse).arg(PhoneGyroPort);
        if (reason == SensorLinkEnd::SocketFailed)
            return uiText(TxtPhoneSocketFailed);
        return std::nullopt;
    }
    if (kind != SensorKind::Serial)
        return std::nullopt;
    switch (reason) {
    case SensorLinkEnd::OpenFailed:
        return deviceProblemText(device.problem, {TxtSerialNotFound, TxtSerialNoPermission, TxtSerialBusy},
                                 port);
    case SensorLinkEnd::NoPort:
        return uiText(TxtSerialNoPort);
    case SensorLinkEnd::BoardSilent:
        return uiText(TxtSerialSilent).arg(port);
    case SensorLinkEnd::PortLost:
        return uiText(TxtSerialLost).arg(port);
    default: // stopped on purpose
        return std::nullopt;
    }
}

bool FailureOnce::shouldTell(const QString& text)
{
    if (text == m_last)
        return false;
    m_last = text;
    return true;
}

} // namespace tolvek
