#include "ui/shared/Keypad.h"

#include "ui/shared/LanguageLook.h"

#include <QDialog>
#include <QIcon>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tolvek {

namespace {

// The smallest caption a key is drawn with to fit a long translated word.
constexpr int MinimumKeyFontPixels = 9;

// A push-button that shows only its picture; its caption stays its text for tools and tests.
class PictureButton : public QPushButton
{
  public:
    PictureButton(const QPixmap& picture, QWidget* parent) : QPushButton(parent), m_picture(picture)
    {
        setProperty(CaptionNotDrawnProperty, true);
    }

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

QPushButton* makeButton(const KeypadKey& key, QWidget* parent)
{
    QPushButton* b = key.picture.isNull() ? new QPushButton(parent) : new PictureButton(key.picture, parent);
    b->setText(key.caption);
    if (!key.picture.isNull())
        b->setAccessibleName(key.caption); // the picture's words, for assistive tools
    b->setObjectName(QString::number(key.controlId));
    b->setGeometry(key.place);
    // Never the default button and never focused: Enter and the digit keys go to the keypad's
    // owner, which passes them to pressKey, and never click whatever button has the focus.
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    if (key.fontPixels > 0) {
        // The caption's size, made smaller where a translated word is wider than the key.
        QFont f = b->font();
        f.setBold(true);
        f.setPixelSize(key.fontPixels);
        b->setFont(f);
        fitCaption(*b, MinimumKeyFontPixels);
    }
    return b;
}

} // namespace

Keypad::Keypad(QList<KeypadKey> keys, QWidget* parent) : QWidget(parent), m_keys(std::move(keys))
{
    QRect farthest;
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        QPushButton* b = makeButton(m_keys[i], this);
        connect(b, &QPushButton::clicked, this, [this, i] { press(m_keys[i]); });
        m_buttons.push_back(b);
        farthest |= m_keys[i].place;
    }
    // At the parent's origin, so that a key's geometry is its place in the parent; lowest of
    // the parent's controls, so that it never covers a display that overlaps its span.
    setGeometry(QRect(QPoint(0, 0), farthest.bottomRight()));
    lower();
}

KeypadKey Keypad::key(KeypadKeyKind kind, int digit, int controlId, const QString& caption,
                      const QRect& place, int fontPixels)
{
    return {.kind = kind,
            .digit = digit,
            .controlId = controlId,
            .caption = caption,
            .place = place,
            .fontPixels = fontPixels,
            .keys = keypadKeysFor(kind, digit)};
}

QList<KeypadKey> Keypad::grid(const KeypadGridIds& ids, const KeypadGridLayout& layout)
{
    const auto place = [&layout](int column, int row) {
        return QRect(layout.topLeft + QPoint(layout.pitch.width() * column, layout.pitch.height() * row),
                     layout.keySize);
    };
    QList<KeypadKey> keys;
    // 7 8 9 on the top row, 1 2 3 on the third.
    for (int d = 1; d <= 9; ++d)
        keys << key(KeypadKeyKind::Digit, d, ids.digitOne + d - 1, QString::number(d),
                    place((d - 1) % 3, 2 - (d - 1) / 3), layout.digitFontPixels);
    keys << key(KeypadKeyKind::Digit, 0, ids.digitZero, QStringLiteral("0"), place(0, 3),
                layout.digitFontPixels);
    keys << key(KeypadKeyKind::RemoveDigit, -1, ids.removeDigit, QStringLiteral("C"), place(1, 3),
                layout.removeDigitFontPixels);
    keys << key(KeypadKeyKind::ClearAll, -1, ids.clearAll, QStringLiteral("AC"), place(2, 3),
                layout.clearAllFontPixels);
    return keys;
}

bool Keypad::endDialog(QDialog& dialog, KeypadKeyKind kind)
{
    if (kind == KeypadKeyKind::Accept)
        dialog.accept();
    else if (kind == KeypadKeyKind::Cancel)
        dialog.reject();
    else
        return false;
    return true;
}

std::optional<int> Keypad::runModal(QDialog& dialog, const std::function<int()>& entry)
{
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return entry();
}

QPushButton* Keypad::button(int controlId) const
{
    for (qsizetype i = 0; i < m_keys.size(); ++i)
        if (m_keys[i].controlId == controlId)
            return m_buttons[size_t(i)];
    return nullptr;
}

bool Keypad::pressButton(int controlId)
{
    for (const KeypadKey& key : m_keys) {
        if (key.controlId == controlId) {
            press(key);
            return true;
        }
    }
    return false;
}

bool Keypad::pressKey(int qtKey)
{
    for (const KeypadKey& key : m_keys) {
        if (key.keys.contains(qtKey)) {
            press(key);
            return true;
        }
    }
    return false;
}

void Keypad::press(const KeypadKey& key)
{
    Q_EMIT pressed(key.kind, key.digit);
}

} // namespace tolvek
