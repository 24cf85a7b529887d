#pragma once
// The machine's data folder for Tolvek: $TOLVEK_DATA_DIR when set (tests, portable installs),
// else the generic data location + "/Tolvek/". Always ends with "/". Thread-safe.

#include <QString>

namespace tolvek::platform {

QString dataFolder();

} // namespace tolvek::platform
