#include "ui/shared/MainMenu.h"

#include "core/i18n/Messages.h"
#include "core/settings/VideoFileName.h"

#include <QMenu>

namespace tolvek {

namespace {

void addItems(QMenu* menu, const std::vector<MenuItemDef>& items)
{
    for (const MenuItemDef& item : items) {
        if (item.command == 0) {
            menu->addSeparator();
        } else if (item.command == -1) {
            QMenu* sub = menu->addMenu(item.caption);
            addItems(sub, item.children);
        } else {
            QAction* a = menu->addAction(item.caption);
            a->setData(item.command);
            a->setObjectName(QString::number(item.command));
        }
    }
}

QAction* actionAt(QMenu* menu, int position)
{
    const QList<QAction*> actions = menu->actions();
    return position >= 0 && position < actions.size() ? actions[position] : nullptr;
}

void setCheck(QAction* a, bool checked)
{
    if (!a)
        return;
    a->setCheckable(true);
    a->setChecked(checked);
}

} // namespace

QMenu* buildMenu(MenuKind kind, int language, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    addItems(menu, menuDefinition(kind, language));
    return menu;
}

QAction* findCommand(QMenu* menu, int command)
{
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QAction* found = findCommand(a->menu(), command))
                return found;
        } else if (!a->isSeparator() && a->data().toInt() == command) {
            return a;
        }
    }
    return nullptr;
}

QMenu* buildMainMenu(const MainMenuState& s, int language, QWidget* parent)
{
    if (s.mode == 3)
        return buildMenu(MenuKind::FolderMenu, language, parent);
    QMenu* menu = buildMenu(MenuKind::MainMenu, language, parent);

    // Head-position source.
    const int source = s.sensorMode.contains(u'0') ? 0 : (s.sensorMode.contains(u'1') ? 1 : 2);
    setCheck(actionAt(menu, source), true);

    // A reference video cannot be added again; nothing to add without a video.
    if (QAction* add = actionAt(menu, 7))
        add->setEnabled(!(s.playbackVideoName.contains(QLatin1String(ReferenceIdText)) ||
                          s.playbackVideoName.size() < 10));

    QAction* languageItem = actionAt(menu, 13);
    if (s.mode == 0 || s.mode == 1) {
        for (int pos : {10, 9, 8, 7})
            if (QAction* a = actionAt(menu, pos))
                menu->removeAction(a);
    }

    if (QAction* tips = findCommand(menu, CmdShowToolTips))
        setCheck(tips, s.showToolTips.contains(u'1'));

    // Direction sub-menu.
    if (QAction* dir = actionAt(menu, 3)) {
        if (s.sensorMode.contains(u'0')) {
            dir->setEnabled(false);
        } else if (QMenu* sub = dir->menu()) {
            for (int k = 1; k <= GyroDirectionCount; ++k)
                if (QAction* a = findCommand(sub, CmdGyroDirectionFirst + k - 1))
                    setCheck(a, s.sensorDirection.contains(QChar(u'0' + k)));
        }
    }

    // Serial ports: one item per listed port, at most nine.
    if (QAction* ports = actionAt(menu, 1); ports && ports->menu()) {
        QMenu* sub = ports->menu();
        const QStringList portCaptions = comPortMenuCaptions(s.serialPorts);
        const std::optional<int> checked = checkedComPortItem(s.serialPorts, s.comPort, s.sensorMode);
        const QList<QAction*> items = sub->actions();
        for (int k = 0; k < items.size(); ++k) {
            if (k < portCaptions.size()) {
                items[k]->setText(portCaptions[k]);
                setCheck(items[k], checked && *checked == k);
            } else {
                sub->removeAction(items[k]);
            }
        }
    }

    // Cameras: names in device order; all five placeholders stay when none was found.
    if (QAction* cams = actionAt(menu, 5); cams && cams->menu()) {
        QMenu* sub = cams->menu();
        for (int j = 0; j < std::min<int>(CameraItemCount, s.cameraNames.size()); ++j)
            if (QAction* a = findCommand(sub, cameraCommand(j)))
                a->setText(s.cameraNames[j]);
        if (!s.cameraNames.isEmpty()) {
            const QList<QAction*> items = sub->actions();
            for (int k = s.cameraNames.size(); k < items.size(); ++k)
                sub->removeAction(items[k]);
        }
        if (QAction* a = findCommand(sub, cameraCommand(s.cameraNumber)))
            setCheck(a, true);
    }

    // The language check mark, in modes 0 and 2 only.
    if ((s.mode == 0 || s.mode == 2) && languageItem && languageItem->menu()) {
        if (QAction* a = findCommand(languageItem->menu(), languageCommand(s.languageSetting)))
            setCheck(a, true);
    }
    return menu;
}

} // namespace tolvek
