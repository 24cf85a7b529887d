#include "ui/app/FolderPanel.h"

#include "core/i18n/Messages.h"

namespace tolvek {

QString folderPanelText(const QString& backupFolder, const QString& saveFolder, int videoCount, int language)
{
    const QString backup =
        backupFolder.size() > 4 ? backupFolder : messageText(language, MsgBackupFolderNotSet);
    return QStringLiteral("[Backup Folder] ") + backup + QStringLiteral("\r\n[Save Folder  ] ") + saveFolder +
           QString::asprintf("\r\n[Saved videos ] %03d", videoCount);
}

QString acceptedFolderChoice(const QString& previous, const QString& chosen)
{
    if (chosen.isEmpty())
        return previous; // cancelled
    QString path = chosen;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path.size() < 5 ? previous : path;
}

} // namespace tolvek
