#include "ui/manage/CGetID.h"

#include "core/capture/IdHistory.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"
#include "ui/shared/Fonts.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include <functional>

namespace tolvek {

namespace {

constexpr QSize DisplayArea(255, 66);
constexpr int KeyWidth = 85;
constexpr int KeyHeight = 60;
constexpr int MaxShownId = 99999999;

QString blankLeadingZeros(int value, bool keepLast)
{
    QString cells = formatPatientId(value < 0 ? 0 : value % (MaxShownId + 1));
    const qsizetype last = keepLast ? cells.size() - 1 : cells.size();
    for (qsizetype i = 0; i < last && cells[i] == u'0'; ++i)
        cells[i] = u' ';
    return cells;
}

} // namespace

CGetID::CGetID(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("149"));
    setWindowTitle(QString::fromLatin1(Title));
    // A caption without system menu or close box: the keypad ends only by OK, Cancel or Esc.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(meiryoFont(14.0));
    // The keys go to the dialog itself: no control takes the focus, so Enter and the digits never
    // click whatever button happens to be focused.
    setFocusPolicy(Qt::StrongFocus);

    auto display = [this](int id, int y, std::function<QString()> glyphs) {
        auto* view = new DigitsView(this, DisplayArea, [glyphs = std::move(glyphs)](QPainter& p) {
            CGetID::paintDisplay(p, glyphs());
        });
        view->setObjectName(QString::number(id));
        view->setGeometry(20, y, 257, 70);
        m_controls[id] = view;
    };
    display(IDC_OLD_DISPLAY, 17, [this] { return oldIdGlyphs(oldId); });
    display(IDC_NEW_DISPLAY, 88, [this] { return newIdGlyphs(enteredId); });

    auto button = [this](int id, const QString& caption, const QRect& at) {
        auto* b = new QPushButton(caption, this);
        setUpKeypadButton(b, id, at);
        connect(b, &QPushButton::clicked, this, [this, id] { command(id); });
        m_controls[id] = b;
    };
    // Numeric-keypad layout: 7 8 9 / 4 5 6 / 1 2 3 / 0 C AC.
    const int columns[3] = {20, 106, 192};
    for (int d = 1; d <= 9; ++d) {
        const int row = 2 - (d - 1) / 3;
        button(IDC_DIGIT_1 + d - 1, QString::number(d),
               QRect(columns[(d - 1) % 3], 159 + 61 * row, KeyWidth, KeyHeight));
    }
    button(IDC_DIGIT_0, QStringLiteral("0"), QRect(20, 342, KeyWidth, KeyHeight));
    button(IDC_REMOVE_DIGIT, QStringLiteral("C"), QRect(106, 342, KeyWidth, KeyHeight));
    button(IDC_CLEAR_ALL, QStringLiteral("AC"), QRect(192, 342, KeyWidth, KeyHeight));
    button(IDC_CANCEL, QStringLiteral("キャンセル"), QRect(20, 403, 127, 60));
    button(IDC_OK, QStringLiteral("OK"), QRect(149, 403, 127, 60));
    setFixedSize(DialogWidth, DialogHeight);
}

std::optional<int> CGetID::ask(QWidget* parent, int oldId)
{
    CGetID dialog(parent);
    dialog.enteredId = oldId;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.enteredId;
}

QWidget* CGetID::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
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

void CGetID::setEnteredId(int value)
{
    enteredId = value;
    if (QWidget* display = control(IDC_NEW_DISPLAY))
        display->update();
}

void CGetID::command(int id)
{
    if (id >= IDC_DIGIT_1 && id <= IDC_DIGIT_9)
        setEnteredId(keypadAppendDigit(enteredId, id - IDC_DIGIT_1 + 1));
    else if (id == IDC_DIGIT_0)
        setEnteredId(keypadAppendDigit(enteredId, 0));
    else if (id == IDC_REMOVE_DIGIT)
        setEnteredId(keypadRemoveDigit(enteredId));
    else if (id == IDC_CLEAR_ALL)
        setEnteredId(0);
    else if (id == IDC_OK)
        accept();
    else if (id == IDC_CANCEL)
        reject();
}

void CGetID::keyPressEvent(QKeyEvent* event)
{
    const KeypadKeyAction action = keypadKeyAction(event->key());
    switch (action.kind) {
    case KeypadKeyKind::Digit:
        command(action.digit == 0 ? IDC_DIGIT_0 : IDC_DIGIT_1 + action.digit - 1);
        break;
    case KeypadKeyKind::RemoveDigit:
        command(IDC_REMOVE_DIGIT);
        break;
    case KeypadKeyKind::ClearAll:
        command(IDC_CLEAR_ALL);
        break;
    case KeypadKeyKind::Accept:
        command(IDC_OK);
        break;
    // Unlike the new-ID keypad this one has no history and leaves Space alone.
    case KeypadKeyKind::HistoryUp:
    case KeypadKeyKind::HistoryDown:
    case KeypadKeyKind::Swallow:
    case KeypadKeyKind::Unhandled:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

QString CGetID::newIdGlyphs(int value)
{
    return blankLeadingZeros(value, false);
}

QString CGetID::oldIdGlyphs(int value)
{
    return blankLeadingZeros(value, true);
}

void CGetID::paintDisplay(QPainter& painter, const QString& glyphs)
{
    DigitStrip::drawRow(painter, DisplayArea, glyphs, DigitStrip::Size::Large, QPoint(3, 10), 30);
}

} // namespace tolvek
