#pragma once
// Every message box, question and picker the application shows goes through this interface, so
// widget tests can script the answers and read the texts. UI thread only.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tolvek {

struct GetNewIdSetup;
struct BackupDateSetup;
class BackupRunner;
class CTrim;

class UserPrompts
{
  public:
    enum class Icon { Information, Warning, Error, Question };
    virtual ~UserPrompts() = default;
    // A modal message box with OK, captioned "Tolvek".
    virtual void message(QWidget* parent, const QString& text, Icon icon = Icon::Information) = 0;
    // The same message without waiting for OK, so that the window and a running recording go on
    // (the examiner may be busy with the patient). Test doubles may show it as message() does.
    virtual void notify(QWidget* parent, const QString& text, Icon icon = Icon::Information)
    {
        message(parent, text, icon);
    }
    // Yes/No question; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, const QString& caption, bool defaultNo) = 0;
    // CenterMessageBoxOnPoint: the same question centred on a screen point (the cursor), kept on
    // the screen. Implementations that cannot place a box ask it like question().
    virtual bool questionAt(QWidget* parent, const QString& text, const QString& caption, bool defaultNo,
                            QPoint at)
    {
        (void)at;
        return question(parent, text, caption, defaultNo);
    }
    // A folder picker; empty when cancelled.
    virtual QString pickFolder(QWidget* parent, const QString& title, const QString& start) = 0;
    // A save-file dialog; empty when cancelled. It does not ask about replacing an existing file:
    // the caller may still add an extension, so it asks about the name it will really write.
    virtual QString pickSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                                 const QString& filter) = 0;
    // The warning beep.
    virtual void beep() = 0;
    // The patient-ID keypad, modal; the accepted ID or nothing when cancelled.
    virtual std::optional<int> askPatientId(QWidget* parent, const GetNewIdSetup& setup) = 0;
    // The backup date keypad, modal; the entered date prefix or nothing when cancelled.
    virtual std::optional<int> askBackupDate(QWidget* parent, const BackupDateSetup& setup) = 0;
    // The backup progress dialog, modal: runs the runner one file per tick until the user closes
    // it. True when closed with OK (a Cancel after the last file counts as OK).
    virtual bool runBackup(QWidget* parent, BackupRunner& runner) = 0;
    // CGetID: the keypad that asks a video's new patient ID, preset to its old one; the entered ID
    // or nothing when cancelled.
    virtual std::optional<int> askVideoId(QWidget* parent, int oldId) = 0;
    // Runs the trim / re-ID progress dialog, filled in by the caller, modally; its QDialog result.
    virtual int runTrimDialog(CTrim& dialog) = 0;
};

// Top-left corner of a box of size centred on anchor and moved fully onto screen (a box larger than
// the screen keeps its left or top edge at the screen's).
QPoint centredOnPoint(QSize box, QPoint anchor, QRect screen);

} // namespace tolvek
