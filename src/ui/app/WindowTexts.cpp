#include "ui/app/WindowTexts.h"

#include "core/i18n/UiTexts.h"
#include "ui/library/VideoLists.h"
#include "ui/shared/ButtonImages.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/WindowPorts.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>
#include <QTreeWidget>

namespace tolvek {

namespace {

// A picture button whose tooltip (and accessible name) is a text of the second table.
struct PictureButtonText
{
    int id;
    UiTextId text;
};

constexpr PictureButtonText kOwnTips[] = {{IDC_MENU, TxtTipMenu}, {IDC_LISTVIEW, TxtTipList},
                                          {IDC_TOTOP, TxtTipTop}, {IDC_RECORD, TxtTipRecord},
                                          {IDC_STOP, TxtTipStop}, {IDC_QUIT, TxtTipExit}};

QString plainLines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

void applyWindowTexts(QWidget& window, bool toolTipsActive, StateToolTips tips)
{
    for (const PictureButtonText& b : kOwnTips) {
        if (QWidget* w = windowControl(window, b.id)) {
            const QString text = uiText(b.text);
            w->setToolTip(toolTipsActive ? text : QString());
            w->setAccessibleName(text);
        }
    }
    const std::pair<int, MessageId> messageTips[] = {{IDC_SETID, MsgSetIdTip},
                                                     {IDC_RESETR, MsgRestartTip},
                                                     {IDC_RESET_HEAD, tips.resetHead},
                                                     {IDC_TRIM, tips.trim}};
    for (const auto& [id, message] : messageTips)
        if (QWidget* w = windowControl(window, id))
            w->setAccessibleName(plainLines(Message(message)));

    // The pictures carry words: drawn anew in the current language.
    for (QPushButton* button : window.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant image = button->property("imageId");
        if (!image.isValid() || image.toInt() == 0)
            continue;
        button->setIcon(QIcon(buttonImage(image.toInt())));
    }

    // The lists draw their Han characters with the current language's CJK face.
    for (int id : {int(IDC_ALL_LIST), int(IDC_ID_LIST), int(IDC_REFERENCE_LIST)}) {
        if (auto* list = qobject_cast<QTreeWidget*>(windowControl(window, id))) {
            QFont font = list->font();
            font.setFamilies(gothicFamilies(currentLanguage()));
            list->setFont(font);
            if (id == IDC_ALL_LIST)
                fitColumnTitles(*list);
        }
    }
}

void fitColumnTitles(QTreeWidget& list)
{
    QTreeWidgetItem* header = list.headerItem();
    if (!header)
        return;
    header->setTextAlignment(AllLengthColumn, Qt::AlignCenter);
    QHeaderView* view = list.header();
    const QFontMetrics fm(view->font());
    // The title, the section's margins on both sides and room for the sort arrow.
    const int margins = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, view) +
                        view->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, view) + 8;
    for (int c = 0; c < list.columnCount(); ++c) {
        if (list.isColumnHidden(c))
            continue;
        const int needed = fm.horizontalAdvance(header->text(c)) + margins;
        if (list.columnWidth(c) < needed)
            list.setColumnWidth(c, needed);
    }
}

} // namespace tolvek
