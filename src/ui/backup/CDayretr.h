#pragma once
// The backup date keypad (dialog 151, "Backup / Year Month Day"): a date prefix of up to eight
// digits typed on big keys or the keyboard, or one of the last ten days picked. It opens on
// today's date; "C" shortens it to the month or year; a line under the keys explains the
// patterns. UI thread only; every input is a valid edit or ignored.

#include "core/backup/DateKeypad.h"

#include <QDate>
#include <QDialog>
#include <QSize>

#include <functional>
#include <optional>

class QKeyEvent;
class QPainter;

namespace tolvek {

class Keypad;

// What the keypad needs from its caller.
struct BackupDateSetup
{
    QString title;                // window title; the template's when empty
    QSize mainClientSize;         // the main window's raw client size; the dialog is placed on it
    std::function<QDate()> today; // the local date; the system clock when not set
};

class CDayretr : public QDialog
{
    Q_OBJECT
  public:
    // Control IDs; each control's objectName is its ID in decimal.
    enum ControlId : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_QUICK_TODAY = 1003, // then 1004..1011 for one to eight days ago, 1023 nine days ago
        IDC_QUICK_1 = 1004,
        IDC_QUICK_8 = 1011,
        IDC_CLEAR_ALL = 1021,    // "AC"
        IDC_REMOVE_DIGIT = 1022, // "C"
        IDC_QUICK_9 = 1023,
        IDC_DATE_DISPLAY = 1024,
        IDC_DIGIT_0 = 1025,
        IDC_DIGIT_1 = 1026, // 1026..1034 are the digits 1..9
        IDC_HINT = 1050,    // the explanation of the date patterns
    };
    static constexpr int DialogWidth = 378;
    static constexpr int DialogHeight = 512;

    explicit CDayretr(BackupDateSetup setup, QWidget* parent = nullptr);

    // Runs the keypad modally: the entered date prefix, or nothing when cancelled.
    static std::optional<int> ask(BackupDateSetup setup, QWidget* parent);

    // DateValue as shown: today's date while nothing is entered.
    int dateValue() const;
    // QuickDates: today and the nine days before, as last drawn (drawn anew at every paint).
    const std::array<int, QuickDateCount>& quickDateValues() const { return m_quickDates; }
    QWidget* control(int id) const;
    // The quick-pick cell of a day k days ago (0..9).
    static int quickCellId(int daysAgo);

    // What a click on the control does (digits, C, AC, quick-pick cells, OK, Cancel).
    void command(int controlId);

    // The pictures of the two displays, drawn at the painter's origin: the main display's
    // 315 x 66 white area and a quick-pick cell's 98 x 33 white area.
    static void paintDateDigits(QPainter& painter, int dateValue);
    static void paintQuickDate(QPainter& painter, int dateValue);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void createControls();
    void keypadPressed(KeypadKeyKind kind, int digit);
    void placeDialog();
    QDate today() const;
    void setDateValue(int value);
    void refreshQuickDates();

    BackupDateSetup m_setup;
    Keypad* m_keypad = nullptr;
    int m_dateValue = 0;
    bool m_showingToday = true; // nothing entered: today is shown in its place
    std::array<int, QuickDateCount> m_quickDates{};
};

} // namespace tolvek
