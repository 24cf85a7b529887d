#pragma once
// CGetID (dialog 149, "Input NEW ID"): the keypad that asks a video's new patient ID under its old
// one; buttons and keyboard add, drop or clear digits (at most eight, no leading zero).
// UI thread only; every input is a valid edit or ignored.

#include "core/capture/KeypadKeys.h"

#include <QDialog>
#include <QString>

#include <optional>

class QKeyEvent;
class QPainter;

namespace tolvek {

class Keypad;

class CGetID : public QDialog
{
    Q_OBJECT
  public:
    enum ControlId : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_DIGIT_1 = 1011, // 1011..1019 are the digits 1..9
        IDC_DIGIT_0 = 1020,
        IDC_CLEAR_ALL = 1021,    // "AC"
        IDC_REMOVE_DIGIT = 1022, // "C"
        IDC_NEW_DISPLAY = 1026,  // lower display: enteredId
        IDC_OLD_DISPLAY = 1042,  // upper display: oldId
    };
    static constexpr int DialogWidth = 313;
    static constexpr int DialogHeight = 521;
    static constexpr char Title[] = "Input NEW ID";

    explicit CGetID(QWidget* parent = nullptr);

    // Runs the keypad modally with enteredId preset to oldId: the ID after OK, nothing after Cancel.
    static std::optional<int> ask(QWidget* parent, int oldId);

    int oldId = 0;     // fixed when the dialog opens
    int enteredId = 0; // preset by the caller, read after OK

    QWidget* control(int id) const;
    // What a click on the control does (digits, C, AC, OK, Cancel).
    void command(int controlId);

    // The eight glyph cells of a display, ' ' for a blank cell. The lower display blanks every
    // leading zero (0 shows nothing); the upper one all but the last digit (0 shows "0").
    static QString newIdGlyphs(int value);
    static QString oldIdGlyphs(int value);
    // A display's picture at the painter's origin: 255 x 66 white, the glyphs ANDed on.
    static void paintDisplay(QPainter& painter, const QString& glyphs);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void keypadPressed(KeypadKeyKind kind, int digit);

    Keypad* m_keypad = nullptr;
    bool m_initialised = false;
};

} // namespace tolvek
