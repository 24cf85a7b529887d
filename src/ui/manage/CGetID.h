#pragma once
// CGetID (dialog 149, "Input NEW ID"): the keypad that asks a video's new patient ID under its old
// one; buttons and keyboard add, drop or clear digits (at most eight, no leading zero typed). Both
// IDs are labelled and shown as the eight digits of a file name. UI thread only; every input is a
// valid edit or ignored.

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
        IDC_OLD_LABEL = 1050,    // "Current ID" above the upper display
        IDC_NEW_LABEL = 1051,    // "New ID" above the lower display
    };
    static constexpr int DialogWidth = 313;
    // The template's 521 pixels and a label line above each display.
    static constexpr int LabelHeight = 20;
    static constexpr int DialogHeight = 521 + 26;

    explicit CGetID(QWidget* parent = nullptr);

    // Runs the keypad modally with enteredId preset to oldId: the ID after OK, nothing after Cancel.
    static std::optional<int> ask(QWidget* parent, int oldId);

    int oldId = 0;     // fixed when the dialog opens
    int enteredId = 0; // preset by the caller, read after OK

    QWidget* control(int id) const;
    // What a click on the control does (digits, C, AC, OK, Cancel).
    void command(int controlId);

    // The eight glyph cells of a display: the ID as a file name starts, with its leading zeros.
    static QString idGlyphs(int value);
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
