#pragma once
// Builds the main window's pop-up menus from the menu definitions of the current language and
// adapts them to the current state (check marks, detected ports and cameras, items removed or
// disabled by mode). Each action's data is its command ID. UI thread only.

#include "core/i18n/MenuCaptions.h"
#include "core/sensor/ComPortList.h"

#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QWidget;

namespace tolvek {

struct MainMenuState
{
    int mode = 1;
    QString sensorMode;
    QString sensorDirection;
    QString comPort;
    QString showToolTips;
    QString playbackVideoName;
    int cameraNumber = 0;
    int languageSetting = 0;
    QList<ComPortEntry> serialPorts;
    QStringList cameraNames;
};

// A menu of kind in language; the caller owns it.
QMenu* buildMenu(MenuKind kind, int language, QWidget* parent);
// The Menu button's menu: MainMenu adapted to state in modes 0..2, FolderMenu in mode 3.
QMenu* buildMainMenu(const MainMenuState& state, int language, QWidget* parent);

// The action of command in menu (searched through the sub-menus), or nullptr.
QAction* findCommand(QMenu* menu, int command);

} // namespace tolvek
