#pragma once
// The machine's data folder for Tolvek, the first of:
//  - $TOLVEK_DATA_DIR when set (tests, portable installs);
//  - the folder an administrator chose for every login of the PC: the "DataFolder = /path" line
//    of Tolvek/system.conf in the first system configuration folder ($XDG_CONFIG_DIRS, by
//    default /etc/xdg) whose file has one; "DataFolder =" with no path keeps each user's own;
//  - the user's generic data location + "/Tolvek/" (for example ~/.local/share/Tolvek/).
// Always ends with "/". Thread-safe. An unusable system.conf (unreadable, a relative folder) is
// logged and skipped, so the program still starts.

#include <QString>

namespace tolvek::platform {

QString dataFolder();

// The administrator's choice alone, without a trailing "/": empty when no system.conf names an
// absolute folder (a relative one is logged and ignored).
QString systemDataFolder();

} // namespace tolvek::platform
