#include "ui/app/FolderPanel.h"

#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

namespace tolvek {

QString folderPanelText(const QString& backupFolder, const QString& saveFolder, int videoCount, int language)
{
    const QString backup =
        backupFolder.size() > 4 ? backupFolder : messageText(language, MsgBackupFolderNotSet);
    return uiTextIn(language, TxtPanelBackupFolder).arg(backup) + QStringLiteral("\r\n") +
           uiTextIn(language, TxtPanelSaveFolder).arg(saveFolder) + QStringLiteral("\r\n") +
           uiTextIn(language, TxtPanelSavedVideos).arg(videoCount, 3, 10, QChar(u'0'));
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
