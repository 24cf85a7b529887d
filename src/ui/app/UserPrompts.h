#pragma once
// Every message box, question and picker the application shows goes through this interface, so
// widget tests can script the answers and read the texts. UI thread only.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tolvek {

struct GetNewIdSetup;

class UserPrompts {
public:
    enum class Icon { Information, Warning, Error, Question };
    virtual ~UserPrompts() = default;
    // A modal message box with OK, captioned "Tolvek".
    virtual void message(QWidget* parent, const QString& text, Icon icon = Icon::Information) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, const QString& caption, bool defaultNo) = 0;
    // A folder picker; empty when cancelled.
    virtual QString pickFolder(QWidget* parent, const QString& title, const QString& start) = 0;
    // A save-file dialog; empty when cancelled.
    virtual QString pickSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                                 const QString& filter) = 0;
    // The warning beep.
    virtual void beep() = 0;
    // The patient-ID keypad, modal; the accepted ID or nothing when cancelled.
    virtual std::optional<int> askPatientId(QWidget* parent, const GetNewIdSetup& setup) = 0;
};

// The production implementation with Qt dialogs.
class QtUserPrompts : public UserPrompts {
public:
    void message(QWidget* parent, const QString& text, Icon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& caption, bool defaultNo) override;
    QString pickFolder(QWidget* parent, const QString& title, const QString& start) override;
    QString pickSaveFile(QWidget* parent, const QString& title, const QString& proposed, const QString& filter) override;
    void beep() override;
    std::optional<int> askPatientId(QWidget* parent, const GetNewIdSetup& setup) override;
};

}  // namespace tolvek
