#pragma once
// The debug-log category of the head-sensor links. The links write why they could not open a
// port, why they ended and what they dropped here and nowhere else: the examiner never sees it.
// Off by default; enable with QT_LOGGING_RULES="tolvek.sensor.debug=true".

#include <QLoggingCategory>

namespace tolvek {

Q_DECLARE_LOGGING_CATEGORY(lcSensor)

} // namespace tolvek
