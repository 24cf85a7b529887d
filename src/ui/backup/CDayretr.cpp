#include "ui/backup/CDayretr.h"

#include "core/platform/WindowPlacement.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace tolvek {

namespace {

constexpr QSize DateArea(315, 66);
constexpr QSize QuickArea(98, 33);
constexpr int KeySize = 71;

} // namespace

CDayretr::CDayretr(BackupDateSetup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup))
{
    setObjectName(QStringLiteral("151"));
    setWindowTitle(m_setup.title.isEmpty() ? QString::fromLatin1(TemplateTitle) : m_setup.title);
    setFixedSize(DialogWidth, DialogHeight);
    // The keys go to the dialog itself: no control takes the focus, so Enter never clicks
    // whatever button happens to be focused.
    setFocusPolicy(Qt::StrongFocus);
    createControls();
    setDateValue(0);
    placeDialog();
}

std::optional<int> CDayretr::ask(BackupDateSetup setup, QWidget* parent)
{
    CDayretr dialog(std::move(setup), parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.dateValue();
}

int CDayretr::dateValue() const
{
    return dateKeypadShownValue(m_dateValue, today());
}

QWidget* CDayretr::control(int id) const
{
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

int CDayretr::quickCellId(int daysAgo)
{
    if (daysAgo == 0)
        return IDC_QUICK_TODAY;
    if (daysAgo == QuickDateCount - 1)
        return IDC_QUICK_9;
    return IDC_QUICK_1 + daysAgo - 1;
}

QDate CDayretr::today() const
{
    return m_setup.today ? m_setup.today() : QDate::currentDate();
}

QPushButton* CDayretr::makeButton(int id, const QString& caption, const QRect& at, int fontPixels)
{
    auto* b = new QPushButton(caption, this);
    setUpKeypadButton(b, id, at, fontPixels);
    connect(b, &QPushButton::clicked, this, [this, id] { command(id); });
    m_controls[id] = b;
    return b;
}

void CDayretr::createControls()
{
    auto* display = new DigitsView(this, DateArea, [this](QPainter& p) {
        // An empty entry shows today's date, taken at the paint.
        paintDateDigits(p, dateValue());
    });
    display->setObjectName(QString::number(IDC_DATE_DISPLAY));
    display->setGeometry(20, 21, 319, 70);
    m_controls[IDC_DATE_DISPLAY] = display;

    // Digit keys in numeric-keypad layout: 7 8 9 / 4 5 6 / 1 2 3 / 0 C AC.
    const int columns[3] = {20, 92, 164};
    for (int d = 1; d <= 9; ++d) {
        const int row = 2 - (d - 1) / 3;
        makeButton(IDC_DIGIT_1 + d - 1, QString::number(d),
                   QRect(columns[(d - 1) % 3], 92 + 72 * row, KeySize, KeySize), 34);
    }
    makeButton(IDC_DIGIT_0, QStringLiteral("0"), QRect(20, 308, KeySize, KeySize), 34);
    makeButton(IDC_REMOVE_DIGIT, QStringLiteral("C"), QRect(92, 308, KeySize, KeySize), 30);
    makeButton(IDC_CLEAR_ALL, QStringLiteral("AC"), QRect(164, 308, KeySize, KeySize), 28);
    makeButton(IDC_CANCEL, QStringLiteral("Cancel"), QRect(20, 380, 106, 71), 20);
    makeButton(IDC_OK, QStringLiteral("OK"), QRect(129, 380, 106, 71), 20);

    for (int k = 0; k < QuickDateCount; ++k) {
        const int id = quickCellId(k);
        auto* cell = new DigitsView(
            this, QuickArea,
            [this, k](QPainter& p) {
                // Recomputed at each paint, so the cells follow a date change while open.
                refreshQuickDates();
                paintQuickDate(p, m_quickDates[k]);
            },
            [this, id] { command(id); });
        cell->setObjectName(QString::number(id));
        const int y = k == 0 ? 92 : k == QuickDateCount - 1 ? 416 : 128 + 36 * (k - 1);
        cell->setGeometry(236, y, 103, 35);
        m_controls[id] = cell;
    }
    refreshQuickDates();
}

void CDayretr::placeDialog()
{
    const QSize size(DialogWidth, DialogHeight);
    QSize client = m_setup.mainClientSize;
    if (!client.isValid() && parentWidget())
        client = parentWidget()->size();
    // Placed on the main window's client area, wherever that window is, and kept on a screen.
    const QPoint origin = parentWidget() ? parentWidget()->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    QPoint pos = origin + QPoint(client.width() / 2 - 137, client.height() / 2 - 255);
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> monitors;
    for (QScreen* s : screens)
        monitors << s->geometry();
    const int nearest = platform::nearestMonitor(QRect(pos, size), monitors);
    if (nearest >= 0)
        pos = platform::clampIntoWorkArea(pos, size, screens[nearest]->availableGeometry());
    move(pos);
}

void CDayretr::refreshQuickDates()
{
    m_quickDates = quickDates(today());
}

void CDayretr::setDateValue(int value)
{
    // An empty entry shows today, and OK takes today; the first digit typed over it starts a new
    // entry, while C works on today's digits (C twice gives this month).
    m_showingToday = value == 0;
    m_dateValue = dateKeypadShownValue(value, today());
    if (QWidget* display = control(IDC_DATE_DISPLAY))
        display->update();
}

void CDayretr::command(int id)
{
    if (id >= IDC_DIGIT_1 && id <= IDC_DIGIT_9)
        setDateValue(dateKeypadAppendDigit(m_showingToday ? 0 : m_dateValue, id - IDC_DIGIT_1 + 1));
    else if (id == IDC_DIGIT_0)
        setDateValue(dateKeypadAppendDigit(m_showingToday ? 0 : m_dateValue, 0));
    else if (id == IDC_REMOVE_DIGIT)
        setDateValue(dateKeypadRemoveDigit(m_dateValue));
    else if (id == IDC_CLEAR_ALL)
        setDateValue(0);
    else if (id == IDC_OK)
        accept();
    else if (id == IDC_CANCEL)
        reject();
    else {
        for (int k = 0; k < QuickDateCount; ++k) {
            if (id == quickCellId(k)) {
                refreshQuickDates();
                setDateValue(m_quickDates[k]);
            }
        }
    }
}

void CDayretr::keyPressEvent(QKeyEvent* event)
{
    const DateKeyAction action = dateKeyAction(event->key());
    switch (action.kind) {
    case DateKeyKind::Digit:
        command(action.digit == 0 ? IDC_DIGIT_0 : IDC_DIGIT_1 + action.digit - 1);
        break;
    case DateKeyKind::RemoveDigit:
        command(IDC_REMOVE_DIGIT);
        break;
    case DateKeyKind::ClearAll:
        command(IDC_CLEAR_ALL);
        QDialog::keyPressEvent(event);
        return;
    case DateKeyKind::Accept:
        accept();
        break;
    case DateKeyKind::Unhandled:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CDayretr::paintDateDigits(QPainter& painter, int dateValue)
{
    DigitStrip::drawRow(painter, DateArea, dateDisplayGlyphs(dateValue), DigitStrip::Size::Large,
                        QPoint(20, 10), 35);
}

void CDayretr::paintQuickDate(QPainter& painter, int dateValue)
{
    DigitStrip::drawRow(painter, QuickArea, quickDateGlyphs(dateValue), DigitStrip::Size::Small, QPoint(2, 5),
                        12);
}

} // namespace tolvek
