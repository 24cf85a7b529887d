#include "ui/manage/CGetID.h"

#include "core/capture/IdHistory.h"
#include "core/i18n/UiTexts.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"
#include "ui/shared/Fonts.h"
#include "ui/shared/Keypad.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include <functional>

namespace tolvek {

namespace {

constexpr QSize DisplayArea(255, 66);
constexpr int MaxShownId = 99999999;

// Everything below the labelled displays sits this much lower than in the template.
constexpr int Shift = CGetID::DialogHeight - 521;

} // namespace

CGetID::CGetID(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("149"));
    setWindowTitle(uiText(TxtNewIdKeypadTitle));
    // A caption without system menu or close box: the keypad ends only by OK, Cancel or Esc.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(meiryoFont(14.0));
    // The keys go to the dialog itself: no control takes the focus, so Enter and the digits never
    // click whatever button happens to be focused.
    setFocusPolicy(Qt::StrongFocus);

    // Each display under its label, which also names it for assistive tools.
    const auto display = [this](int id, int labelId, UiTextId label, int y, const int* value) {
        auto* caption = new QLabel(uiText(label), this);
        caption->setObjectName(QString::number(labelId));
        caption->setGeometry(20, y, 257, LabelHeight);
        auto* view = new DigitsView(this, id, QRect(20, y + LabelHeight, 257, 70), DisplayArea,
                                    [value](QPainter& p) { CGetID::paintDisplay(p, idGlyphs(*value)); });
        view->setAccessibleName(caption->text());
    };
    display(IDC_OLD_DISPLAY, IDC_OLD_LABEL, TxtOldIdLabel, 2, &oldId);
    display(IDC_NEW_DISPLAY, IDC_NEW_LABEL, TxtNewIdLabel, 94, &enteredId);

    QList<KeypadKey> keys =
        Keypad::grid({IDC_DIGIT_1, IDC_DIGIT_0, IDC_REMOVE_DIGIT, IDC_CLEAR_ALL},
                     {.topLeft = QPoint(20, 159 + Shift), .keySize = QSize(85, 60), .pitch = QSize(86, 61)});
    keys << Keypad::key(KeypadKeyKind::Cancel, -1, IDC_CANCEL, uiText(TxtCancel),
                        QRect(20, 403 + Shift, 127, 60))
         << Keypad::key(KeypadKeyKind::Accept, -1, IDC_OK, uiText(TxtOk), QRect(149, 403 + Shift, 127, 60));
    m_keypad = new Keypad(std::move(keys), this);
    connect(m_keypad, &Keypad::pressed, this, &CGetID::keypadPressed);
    setFixedSize(DialogWidth, DialogHeight);
}

std::optional<int> CGetID::ask(QWidget* parent, int oldId)
{
    CGetID dialog(parent);
    dialog.enteredId = oldId;
    return Keypad::runModal(dialog, [&dialog] { return dialog.enteredId; });
}

QWidget* CGetID::control(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

void CGetID::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        oldId = enteredId;
        setFocus();
    }
}

void CGetID::keypadPressed(KeypadKeyKind kind, int digit)
{
    if (Keypad::endDialog(*this, kind))
        return;
    enteredId = keypadEdit(enteredId, kind, digit);
    control(IDC_NEW_DISPLAY)->update();
}

void CGetID::command(int id)
{
    m_keypad->pressButton(id);
}

void CGetID::keyPressEvent(QKeyEvent* event)
{
    // Only the keypad's keys are taken; unlike the new-ID keypad there is no history, and Space
    // and the arrows get the dialog's normal processing.
    if (m_keypad->pressKey(event->key()))
        event->accept();
    else
        QDialog::keyPressEvent(event);
}

QString CGetID::idGlyphs(int value)
{
    return formatPatientId(value < 0 ? 0 : value % (MaxShownId + 1));
}

void CGetID::paintDisplay(QPainter& painter, const QString& glyphs)
{
    DigitStrip::drawRow(painter, DisplayArea, glyphs, DigitStrip::Size::Large, QPoint(3, 10), 30);
}

} // namespace tolvek
