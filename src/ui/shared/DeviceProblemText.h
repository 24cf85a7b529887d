#pragma once
// The sentence that tells why a device did not open, chosen by the diagnosis: one text each for a
// missing device, a refused permission and a device in use. Pure; current language.

#include "core/i18n/UiTexts.h"
#include "core/platform/DeviceAccess.h"

#include <QString>

namespace tolvek {

struct DeviceProblemTexts
{
    UiTextId missing;
    UiTextId noPermission;
    UiTextId busy;
};

// The text of problem from texts, with device in its %1.
QString deviceProblemText(platform::DeviceProblem problem, const DeviceProblemTexts& texts,
                          const QString& device);

} // namespace tolvek
