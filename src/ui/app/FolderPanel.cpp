#include "ui/app/FolderPanel.h"

#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>

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

int folderPanelLinePitch(int lineSpacing, int panelHeight, int lines)
{
    return std::max(1, std::min(lineSpacing, panelHeight / std::max(1, lines)));
}

void FolderPanelLabel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event); // the frame
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const QRect area = contentsRect().adjusted(2, 1, -2, -1);
    const QStringList lines = text().split(u'\n');
    const int pitch = folderPanelLinePitch(fm.lineSpacing(), area.height(), int(lines.size()));
    // The block of lines centred in the panel; each baseline sits where a line of the font's own
    // spacing would put it, moved up by half the spacing given up.
    int y = area.top() + (area.height() - pitch * int(lines.size())) / 2;
    const int baseline = fm.ascent() - (fm.lineSpacing() - pitch) / 2;
    for (const QString& line : lines) {
        p.drawText(QPoint(area.left(), y + baseline), fm.elidedText(line, Qt::ElideMiddle, area.width()));
        y += pitch;
    }
}

} // namespace tolvek
