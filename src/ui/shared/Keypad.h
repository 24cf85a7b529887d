#pragma once
// A keypad of big push-buttons made from a table of keys (digits, C, AC, OK, Cancel), each with
// its control ID, caption or picture, place and keyboard keys. A click, or a keyboard key its
// owner passes to pressKey, comes out as one signal with the key's kind and digit; what a key
// means is the owner's business. UI thread only; a key not in the table is simply not pressed.

#include "core/capture/KeypadKeys.h"

#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QPushButton;

namespace tolvek {

// One key of the table.
struct KeypadKey
{
    KeypadKeyKind kind = KeypadKeyKind::Digit; // Digit, RemoveDigit, ClearAll, Accept or Cancel
    int digit = -1;                            // 0..9 for a Digit
    int controlId = 0;                         // the button's objectName, in decimal
    QString caption{};                         // the button's text, kept too when a picture shows
    QRect place{};                             // in the keypad's parent's coordinates
    int fontPixels = 0; // above 0: a bold caption of that pixel size; else the parent's font
    QPixmap picture{};  // when set, shown instead of the caption
    QList<int> keys{};  // the Qt::Key codes that press it
};

// The control IDs of the twelve keys 7 8 9 / 4 5 6 / 1 2 3 / 0 C AC.
struct KeypadGridIds
{
    int digitOne = 0; // digit d (1..9) is digitOne + d - 1
    int digitZero = 0;
    int removeDigit = 0; // "C"
    int clearAll = 0;    // "AC"
};

// Where the twelve keys sit, in numeric-keypad layout, and their captions' sizes.
struct KeypadGridLayout
{
    QPoint topLeft; // of the "7"
    QSize keySize;
    QSize pitch; // from one key to the next across, and from one row to the next
    int digitFontPixels = 0;
    int removeDigitFontPixels = 0;
    int clearAllFontPixels = 0;
};

// The big grid of the new-ID and date keypads: 71-pixel keys from (20, 92), bold captions.
inline constexpr KeypadGridLayout LargeKeypadGrid{QPoint(20, 92), QSize(71, 71), QSize(72, 72), 34, 30, 28};

class Keypad : public QWidget
{
    Q_OBJECT
  public:
    // The keys are placed in the parent's coordinates: the keypad spans the parent from its
    // origin to the farthest key, below the parent's other controls, and paints nothing itself.
    Keypad(QList<KeypadKey> keys, QWidget* parent);

    // A key bound to the keyboard keys of its kind and digit (keypadKeysFor); fontPixels as in
    // KeypadKey.
    static KeypadKey key(KeypadKeyKind kind, int digit, int controlId, const QString& caption,
                         const QRect& place, int fontPixels = 0);
    // The twelve keys of a grid, each bound to its keyboard keys.
    static QList<KeypadKey> grid(const KeypadGridIds& ids, const KeypadGridLayout& layout);
    // OK accepts the dialog and Cancel rejects it; false, and nothing done, for other kinds.
    static bool endDialog(QDialog& dialog, KeypadKeyKind kind);
    // Runs a keypad's dialog modally: the entry after OK, nothing after Cancel.
    static std::optional<int> runModal(QDialog& dialog, const std::function<int()>& entry);

    QPushButton* button(int controlId) const;
    // Presses the key of that control ID, as a click does (hidden keys too): false if none.
    bool pressButton(int controlId);
    // Presses the first key bound to the Qt::Key code: false if none is.
    bool pressKey(int qtKey);

  Q_SIGNALS:
    void pressed(KeypadKeyKind kind, int digit);

  private:
    void press(const KeypadKey& key);

    QList<KeypadKey> m_keys;
    std::vector<QPushButton*> m_buttons; // in the order of m_keys
};

} // namespace tolvek
