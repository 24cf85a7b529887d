#include "ui/shared/DeviceProblemText.h"

namespace tolvek {

QString deviceProblemText(platform::DeviceProblem problem, const DeviceProblemTexts& texts,
                          const QString& device)
{
    switch (problem) {
    case platform::DeviceProblem::Missing:
        return uiText(texts.missing).arg(device);
    case platform::DeviceProblem::NoPermission:
        return uiText(texts.noPermission).arg(device);
    case platform::DeviceProblem::Busy:
        break;
    }
    return uiText(texts.busy).arg(device);
}

} // namespace tolvek
