#pragma once
// The new-ID keypad (dialog 150, "Input ID"): the patient's 8-digit ID typed on big keys, by
// mouse, touch or keyboard, or picked from the ten most recent IDs. Capture form ("Start
// capture") and set-ID form ("SetID"). UI thread only; every input is a valid edit or ignored.

#include "core/capture/KeypadKeys.h"

#include <QDialog>
#include <QSize>

#include <functional>
#include <optional>

class QKeyEvent;
class QPainter;

namespace tolvek {

class Keypad;
class Settings;
namespace platform {
class ProfileStore;
}

// What the keypad needs from its caller.
struct GetNewIdSetup
{
    int setIdOnly = 0;    // 0: capture form ("Start capture"); non-zero: set-ID form ("SetID")
    QSize mainClientSize; // the main window's raw client size; the dialog centres on it
    platform::ProfileStore* profile = nullptr; // "DialogPos" memory; none: always centred
    const Settings* settings = nullptr;        // whose IdHistory is shown; appSettings() if none
    std::function<void()> rezeroHead;          // head re-zero, on every redraw and on close
};

class CGetNewID : public QDialog
{
    Q_OBJECT
  public:
    // Control IDs; each control's objectName is its ID in decimal.
    enum ControlId : int {
        IDC_TEMPLATE_OK = 1,     // "Set ID", hidden
        IDC_TEMPLATE_CANCEL = 2, // "Cancel", hidden
        IDC_START_CAPTURE = 1010,
        IDC_DIGIT_1 = 1011, // 1011..1019 are the digits 1..9
        IDC_DIGIT_0 = 1020,
        IDC_CLEAR_ALL = 1021,    // "AC"
        IDC_REMOVE_DIGIT = 1022, // "C"
        IDC_ID_DISPLAY = 1026,
        IDC_HISTORY_1 = 1027, // 1027..1036 are the history entries 1..10
        IDC_HISTORY_10 = 1036,
        IDC_CANCEL = 1037,
        IDC_SET_ID = 1038,
    };
    static constexpr int DialogWidth = 378;
    static constexpr int DialogHeight = 512;

    explicit CGetNewID(GetNewIdSetup setup, QWidget* parent = nullptr);

    // Runs the keypad modally: the accepted ID (0 included), or nothing when cancelled.
    static std::optional<int> ask(GetNewIdSetup setup, QWidget* parent);

    int enteredId() const { return m_enteredId; }
    int historyIndex() const { return m_historyIndex; }
    int setIdOnly() const { return m_setup.setIdOnly; }
    QWidget* control(int id) const;

    // What a click on the control does (digits, C, AC, history entries, accept, cancel).
    void command(int controlId);

    // The pictures of the two displays, drawn from the digit strip at the painter's origin:
    // the ID display's 315 x 66 white area and a history entry's 98 x 33 white area.
    static void paintIdDigits(QPainter& painter, int value);
    static void paintHistoryDigits(QPainter& painter, int value);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

  private:
    void createControls();
    void keypadPressed(KeypadKeyKind kind, int digit);
    void placeDialog();
    QString history() const;
    void rezeroHead();
    void setEnteredId(int value);
    void drawIdDigits(); // re-zeroes the head and repaints the ID display

    GetNewIdSetup m_setup;
    Keypad* m_keypad = nullptr;
    int m_enteredId = 0;
    int m_historyIndex = 0;
};

} // namespace tolvek
