#include "ui/capture/CGetNewID.h"

#include "core/capture/IdHistory.h"
#include "core/i18n/UiTexts.h"
#include "core/platform/ProfileStore.h"
#include "core/settings/Settings.h"
#include "ui/shared/ButtonImages.h"
#include "ui/shared/DialogPlacement.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"
#include "ui/shared/Keypad.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <climits>

namespace tolvek {

namespace {

const QString DialogPosSection = QStringLiteral("DialogPos");
const QString LeftEntry = QStringLiteral("Left");
const QString TopEntry = QStringLiteral("Top");

constexpr QSize IdArea(315, 66);
constexpr QSize HistoryArea(98, 33);

} // namespace

CGetNewID::CGetNewID(GetNewIdSetup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup))
{
    setObjectName(QStringLiteral("150"));
    setWindowTitle(uiText(TxtIdKeypadTitle));
    setFixedSize(DialogWidth, DialogHeight);
    // The keys go to the dialog itself: no control takes the focus, so Space and Enter never
    // click whatever button happens to be focused.
    setFocusPolicy(Qt::StrongFocus);
    createControls();
    placeDialog();
}

std::optional<int> CGetNewID::ask(GetNewIdSetup setup, QWidget* parent)
{
    CGetNewID dialog(std::move(setup), parent);
    return Keypad::runModal(dialog, [&dialog] { return dialog.enteredId(); });
}

QWidget* CGetNewID::control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

void CGetNewID::createControls()
{
    new DigitsView(this, IDC_ID_DISPLAY, QRect(20, 21, 319, 70), IdArea, [this](QPainter& p) {
        // Every paint of the display is a DrawIdDigits, which re-zeroes the head.
        rezeroHead();
        paintIdDigits(p, m_enteredId);
    });
    for (int n = 1; n <= IdHistoryEntryCount; ++n) {
        const int id = IDC_HISTORY_1 + n - 1;
        new DigitsView(
            this, id, QRect(236, 92 + 36 * (n - 1), 103, 35), HistoryArea,
            [this, n](QPainter& p) { paintHistoryDigits(p, readHistoryEntry(history(), n)); },
            [this, id] { command(id); });
    }

    QList<KeypadKey> keys =
        Keypad::grid({IDC_DIGIT_1, IDC_DIGIT_0, IDC_REMOVE_DIGIT, IDC_CLEAR_ALL}, LargeKeypadGrid);
    // The template's own buttons stay hidden; the keypad's big buttons replace them.
    keys << Keypad::key(KeypadKeyKind::Accept, -1, IDC_TEMPLATE_OK, uiText(TxtSetIdKey), QRect(0, 0, 1, 1),
                        12)
         << Keypad::key(KeypadKeyKind::Cancel, -1, IDC_TEMPLATE_CANCEL, uiText(TxtCancel), QRect(0, 0, 1, 1),
                        12);
    keys << Keypad::key(KeypadKeyKind::Cancel, -1, IDC_CANCEL, uiText(TxtCancel), QRect(20, 380, 106, 71),
                        20);
    // The form decides which of the two accept buttons shows.
    KeypadKey start = Keypad::key(KeypadKeyKind::Accept, -1, IDC_START_CAPTURE, uiText(TxtStartCapture),
                                  QRect(129, 380, 106, 71), 16);
    start.picture = buttonImage(ImgStart);
    keys << start
         << Keypad::key(KeypadKeyKind::Accept, -1, IDC_SET_ID, uiText(TxtSetIdKey), QRect(129, 380, 106, 71),
                        20);
    m_keypad = new Keypad(std::move(keys), this);
    connect(m_keypad, &Keypad::pressed, this, &CGetNewID::keypadPressed);
    control(IDC_TEMPLATE_OK)->hide();
    control(IDC_TEMPLATE_CANCEL)->hide();
    control(IDC_START_CAPTURE)->setVisible(m_setup.setIdOnly == 0);
    control(IDC_SET_ID)->setVisible(m_setup.setIdOnly != 0);
}

void CGetNewID::placeDialog()
{
    // Centred on the main window's client area, unless a position is remembered.
    QPoint pos =
        mainClientPoint(parentWidget(), m_setup.mainClientSize, QPoint(-DialogWidth / 2, -DialogHeight / 2));
    if (m_setup.profile) {
        // INT_MIN marks a missing entry, so a stored -1 (a monitor left of the primary) counts.
        const int left = m_setup.profile->readInt(DialogPosSection, LeftEntry, INT_MIN);
        const int top = m_setup.profile->readInt(DialogPosSection, TopEntry, INT_MIN);
        // A damaged profile may hold any number; far beyond any desktop is as good as the
        // bound, and keeps the rectangle arithmetic of keepOnScreen from overflowing.
        constexpr int Far = 1000000;
        if (left != INT_MIN && top != INT_MIN)
            pos = QPoint(std::clamp(left, -Far, Far), std::clamp(top, -Far, Far));
    }
    move(keepOnScreen(pos, QSize(DialogWidth, DialogHeight)));
}

QString CGetNewID::history() const
{
    return (m_setup.settings ? *m_setup.settings : appSettings()).value(IdHistory);
}

void CGetNewID::rezeroHead()
{
    if (m_setup.rezeroHead)
        m_setup.rezeroHead();
}

void CGetNewID::setEnteredId(int value)
{
    m_enteredId = value;
    drawIdDigits();
}

void CGetNewID::drawIdDigits()
{
    // Re-zeroed on every redraw, so the head picture faces forward when the recording starts.
    rezeroHead();
    if (QWidget* display = control(IDC_ID_DISPLAY))
        display->update();
}

void CGetNewID::keypadPressed(KeypadKeyKind kind, int digit)
{
    if (!Keypad::endDialog(*this, kind))
        setEnteredId(keypadEdit(m_enteredId, kind, digit));
}

void CGetNewID::command(int id)
{
    if (id >= IDC_HISTORY_1 && id <= IDC_HISTORY_10)
        setEnteredId(readHistoryEntry(history(), id - IDC_HISTORY_1 + 1));
    else
        m_keypad->pressButton(id);
}

void CGetNewID::keyPressEvent(QKeyEvent* event)
{
    if (m_keypad->pressKey(event->key())) {
        event->accept();
        return;
    }
    switch (keypadKeyAction(event->key()).kind) {
    case KeypadKeyKind::HistoryUp: {
        const HistoryStep step = keypadHistoryUp(m_historyIndex, m_enteredId, history());
        const bool chosen = step.historyIndex != 0;
        m_historyIndex = step.historyIndex;
        if (chosen)
            setEnteredId(step.enteredId);
        break;
    }
    case KeypadKeyKind::HistoryDown: {
        const HistoryStep step = keypadHistoryDown(m_historyIndex, history());
        m_historyIndex = step.historyIndex;
        setEnteredId(step.enteredId);
        break;
    }
    case KeypadKeyKind::Swallow:
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CGetNewID::done(int result)
{
    if (m_setup.profile) {
        m_setup.profile->writeInt(DialogPosSection, LeftEntry, pos().x());
        m_setup.profile->writeInt(DialogPosSection, TopEntry, pos().y());
    }
    rezeroHead();
    QDialog::done(result);
}

void CGetNewID::paintIdDigits(QPainter& painter, int value)
{
    DigitStrip::drawRow(painter, IdArea, idDisplayGlyphs(value), DigitStrip::Size::Large, QPoint(20, 10), 35);
}

void CGetNewID::paintHistoryDigits(QPainter& painter, int value)
{
    DigitStrip::drawRow(painter, HistoryArea, historyDisplayGlyphs(value), DigitStrip::Size::Small,
                        QPoint(2, 8), 12);
}

} // namespace tolvek
