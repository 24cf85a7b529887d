#include "core/sensor/SensorLog.h"

namespace tolvek {

Q_LOGGING_CATEGORY(lcSensor, "tolvek.sensor", QtWarningMsg)

} // namespace tolvek
