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

// Shows a button's tooltip just below the button instead of below the cursor, so that a tooltip
// of the top row never lies over another button of that row.
class ToolTipBelowButton : public QObject
{
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || event->type() != QEvent::ToolTip)
            return false;
        const QString tip = button->toolTip();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const bool rtl = button->layoutDirection() == Qt::RightToLeft;
        const QPoint corner(rtl ? button->width() : 0, button->height() + 2);
        QToolTip::showText(button->mapToGlobal(corner), tip, button);
        return true;
    }
};

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

    // The pictures carry words: drawn anew in the current language. Each button's own tooltip
    // filter is installed once.
    const QString filterName = QStringLiteral("toolTipBelowButton");
    QObject* filter = window.findChild<QObject*>(filterName, Qt::FindDirectChildrenOnly);
    if (!filter) {
        filter = new ToolTipBelowButton(&window);
        filter->setObjectName(filterName);
    }
    for (QPushButton* button : window.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant image = button->property("imageId");
        if (!image.isValid() || image.toInt() == 0)
            continue;
        button->setIcon(QIcon(buttonImage(image.toInt())));
        button->removeEventFilter(filter);
        button->installEventFilter(filter);
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
