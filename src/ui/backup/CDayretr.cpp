#include "ui/backup/CDayretr.h"

#include "core/i18n/UiTexts.h"
#include "ui/shared/DialogPlacement.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"
#include "ui/shared/Keypad.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace tolvek {

namespace {

constexpr QSize DateArea(315, 66);
constexpr QSize QuickArea(98, 33);

} // namespace

CDayretr::CDayretr(BackupDateSetup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup))
{
    setObjectName(QStringLiteral("151"));
    setWindowTitle(m_setup.title.isEmpty() ? uiText(TxtBackupKeypadTitle) : m_setup.title);
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
    return Keypad::runModal(dialog, [&dialog] { return dialog.dateValue(); });
}

int CDayretr::dateValue() const
{
    return dateKeypadShownValue(m_dateValue, today());
}

QWidget* CDayretr::control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
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

void CDayretr::createControls()
{
    new DigitsView(this, IDC_DATE_DISPLAY, QRect(20, 21, 319, 70), DateArea, [this](QPainter& p) {
        // An empty entry shows today's date, taken at the paint.
        paintDateDigits(p, dateValue());
    });
    for (int k = 0; k < QuickDateCount; ++k) {
        const int id = quickCellId(k);
        const int y = k == 0 ? 92 : k == QuickDateCount - 1 ? 416 : 128 + 36 * (k - 1);
        new DigitsView(
            this, id, QRect(236, y, 103, 35), QuickArea,
            [this, k](QPainter& p) {
                // Recomputed at each paint, so the cells follow a date change while open.
                refreshQuickDates();
                paintQuickDate(p, m_quickDates[k]);
            },
            [this, id] { command(id); });
    }
    refreshQuickDates();

    QList<KeypadKey> keys =
        Keypad::grid({IDC_DIGIT_1, IDC_DIGIT_0, IDC_REMOVE_DIGIT, IDC_CLEAR_ALL}, LargeKeypadGrid);
    keys << Keypad::key(KeypadKeyKind::Cancel, -1, IDC_CANCEL, uiText(TxtCancel), QRect(20, 380, 106, 71), 20)
         << Keypad::key(KeypadKeyKind::Accept, -1, IDC_OK, uiText(TxtOk), QRect(129, 380, 106, 71), 20);
    m_keypad = new Keypad(std::move(keys), this);
    connect(m_keypad, &Keypad::pressed, this, &CDayretr::keypadPressed);

    // Under the keys: what to type, in the free band above the dialog's bottom edge.
    auto* hint = new QLabel(uiText(TxtBackupKeypadHint), this);
    hint->setObjectName(QString::number(IDC_HINT));
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hint->setGeometry(20, 455, DialogWidth - 40, DialogHeight - 458);
    control(IDC_DATE_DISPLAY)->setAccessibleName(hint->text());
}

void CDayretr::placeDialog()
{
    // Placed on the main window's client area, and kept on a screen.
    move(keepOnScreen(mainClientPoint(parentWidget(), m_setup.mainClientSize, QPoint(-137, -255)),
                      QSize(DialogWidth, DialogHeight)));
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

void CDayretr::keypadPressed(KeypadKeyKind kind, int digit)
{
    if (!Keypad::endDialog(*this, kind))
        setDateValue(dateKeypadEdit(m_dateValue, m_showingToday, kind, digit));
}

void CDayretr::command(int id)
{
    for (int k = 0; k < QuickDateCount; ++k) {
        if (id == quickCellId(k)) {
            refreshQuickDates();
            setDateValue(m_quickDates[k]);
            return;
        }
    }
    m_keypad->pressButton(id);
}

void CDayretr::keyPressEvent(QKeyEvent* event)
{
    // Delete clears the entry and then still gets the dialog's normal processing.
    if (m_keypad->pressKey(event->key()) && dateKeyAction(event->key()).kind != DateKeyKind::ClearAll)
        event->accept();
    else
        QDialog::keyPressEvent(event);
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
