#include "ui/capture/CGetNewID.h"

#include "core/capture/IdHistory.h"
#include "core/platform/ProfileStore.h"
#include "core/platform/WindowPlacement.h"
#include "core/settings/Settings.h"
#include "ui/shared/ButtonImages.h"
#include "ui/shared/DigitStrip.h"
#include "ui/shared/DigitsView.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <climits>

namespace tolvek {

namespace {

const QString DialogPosSection = QStringLiteral("DialogPos");
const QString LeftEntry = QStringLiteral("Left");
const QString TopEntry = QStringLiteral("Top");

constexpr QSize IdArea(315, 66);
constexpr QSize HistoryArea(98, 33);
constexpr int KeySize = 71;

// A push-button that shows only its picture; its caption stays its text for tools and tests.
class PictureButton : public QPushButton
{
  public:
    PictureButton(const QPixmap& picture, QWidget* parent) : QPushButton(parent), m_picture(picture) {}

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton opt;
        initStyleOption(&opt);
        opt.text.clear();
        opt.icon = QIcon(m_picture);
        opt.iconSize = m_picture.size().scaled(size() - QSize(6, 6), Qt::KeepAspectRatio);
        p.drawControl(QStyle::CE_PushButton, opt);
    }

  private:
    QPixmap m_picture;
};

} // namespace

CGetNewID::CGetNewID(GetNewIdSetup setup, QWidget* parent) : QDialog(parent), m_setup(std::move(setup))
{
    setObjectName(QStringLiteral("150"));
    setWindowTitle(QString::fromLatin1(Title));
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
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.enteredId();
}

QWidget* CGetNewID::control(int id) const
{
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QPushButton* CGetNewID::makeButton(int id, const QString& caption, const QRect& at, int fontPixels)
{
    QPushButton* b =
        id == IDC_START_CAPTURE ? new PictureButton(buttonImage(ImgStart), this) : new QPushButton(this);
    b->setText(caption);
    setUpKeypadButton(b, id, at, fontPixels);
    connect(b, &QPushButton::clicked, this, [this, id] { command(id); });
    m_controls[id] = b;
    return b;
}

void CGetNewID::createControls()
{
    // The template's own buttons stay hidden; the keypad's big buttons replace them.
    makeButton(IDC_TEMPLATE_OK, QStringLiteral("Set ID"), QRect(0, 0, 1, 1), 12)->hide();
    makeButton(IDC_TEMPLATE_CANCEL, QStringLiteral("Cancel"), QRect(0, 0, 1, 1), 12)->hide();

    auto* display = new DigitsView(this, IdArea, [this](QPainter& p) {
        // Every paint of the display is a DrawIdDigits, which re-zeroes the head.
        rezeroHead();
        paintIdDigits(p, m_enteredId);
    });
    display->setObjectName(QString::number(IDC_ID_DISPLAY));
    display->setGeometry(20, 21, 319, 70);
    m_controls[IDC_ID_DISPLAY] = display;

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

    for (int n = 1; n <= IdHistoryEntryCount; ++n) {
        const int id = IDC_HISTORY_1 + n - 1;
        auto* cell = new DigitsView(
            this, HistoryArea,
            [this, n](QPainter& p) { paintHistoryDigits(p, readHistoryEntry(history(), n)); },
            [this, id] { command(id); });
        cell->setObjectName(QString::number(id));
        cell->setGeometry(236, 92 + 36 * (n - 1), 103, 35);
        m_controls[id] = cell;
    }

    makeButton(IDC_CANCEL, QStringLiteral("Cancel"), QRect(20, 380, 106, 71), 20);
    auto* start =
        makeButton(IDC_START_CAPTURE, QStringLiteral("Start capture"), QRect(129, 380, 106, 71), 16);
    auto* setId = makeButton(IDC_SET_ID, QStringLiteral("SetID"), QRect(129, 380, 106, 71), 20);
    start->setVisible(m_setup.setIdOnly == 0);
    setId->setVisible(m_setup.setIdOnly != 0);
}

void CGetNewID::placeDialog()
{
    const QSize size(DialogWidth, DialogHeight);
    QSize client = m_setup.mainClientSize;
    if (!client.isValid() && parentWidget())
        client = parentWidget()->size();
    // Centred on the main window's client area, wherever that window is.
    const QPoint origin = parentWidget() ? parentWidget()->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    QPoint pos =
        origin + QPoint(client.width() / 2 - DialogWidth / 2, client.height() / 2 - DialogHeight / 2);

    if (m_setup.profile) {
        // INT_MIN marks a missing entry, so a stored -1 (a monitor left of the primary) counts.
        const int left = m_setup.profile->readInt(DialogPosSection, LeftEntry, INT_MIN);
        const int top = m_setup.profile->readInt(DialogPosSection, TopEntry, INT_MIN);
        // A damaged profile may hold any number; far beyond any desktop is as good as the
        // bound, and keeps the rectangle arithmetic below from overflowing.
        constexpr int Far = 1000000;
        if (left != INT_MIN && top != INT_MIN)
            pos = QPoint(std::clamp(left, -Far, Far), std::clamp(top, -Far, Far));
    }

    // A position on a monitor that is gone, or a main window partly off-screen, must still
    // leave the keypad reachable: pull it onto the nearest screen's work area.
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> monitors;
    for (QScreen* s : screens)
        monitors << s->geometry();
    const int nearest = platform::nearestMonitor(QRect(pos, size), monitors);
    if (nearest >= 0)
        pos = platform::clampIntoWorkArea(pos, size, screens[nearest]->availableGeometry());
    move(pos);
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

void CGetNewID::command(int id)
{
    if (id >= IDC_DIGIT_1 && id <= IDC_DIGIT_9)
        setEnteredId(keypadAppendDigit(m_enteredId, id - IDC_DIGIT_1 + 1));
    else if (id == IDC_DIGIT_0)
        setEnteredId(keypadAppendDigit(m_enteredId, 0));
    else if (id == IDC_REMOVE_DIGIT)
        setEnteredId(keypadRemoveDigit(m_enteredId));
    else if (id == IDC_CLEAR_ALL)
        setEnteredId(0);
    else if (id >= IDC_HISTORY_1 && id <= IDC_HISTORY_10)
        setEnteredId(readHistoryEntry(history(), id - IDC_HISTORY_1 + 1));
    else if (id == IDC_START_CAPTURE || id == IDC_SET_ID || id == IDC_TEMPLATE_OK)
        accept();
    else if (id == IDC_CANCEL || id == IDC_TEMPLATE_CANCEL)
        reject();
}

void CGetNewID::keyPressEvent(QKeyEvent* event)
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
        accept();
        break;
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
    case KeypadKeyKind::Unhandled:
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
