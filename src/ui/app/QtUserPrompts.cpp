#include "ui/app/QtUserPrompts.h"

#include "core/i18n/UiTexts.h"

#include "ui/backup/BackupDlg.h"
#include "ui/backup/CDayretr.h"
#include "ui/capture/CGetNewID.h"
#include "ui/manage/CGetID.h"
#include "ui/manage/CTrim.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

namespace tolvek {

namespace {
QString windowsToDisplay(QString text)
{
    // Texts keep Windows line breaks for the message table; Qt wants plain LF.
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The standard buttons in the current language, whatever Qt translations are installed.
void nameButtons(QMessageBox& box)
{
    const std::pair<QMessageBox::StandardButton, UiTextId> names[] = {
        {QMessageBox::Ok, TxtOk}, {QMessageBox::Yes, TxtYes}, {QMessageBox::No, TxtNo}};
    for (const auto& [which, text] : names)
        if (QAbstractButton* button = box.button(which))
            button->setText(uiText(text));
}
} // namespace

namespace {
// An OK box captioned "Tolvek" with the text and icon of a message.
void prepareMessage(QMessageBox& box, const QString& text, UserPrompts::Icon icon)
{
    box.setWindowTitle(QStringLiteral("Tolvek"));
    box.setText(windowsToDisplay(text));
    switch (icon) {
    case UserPrompts::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case UserPrompts::Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case UserPrompts::Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case UserPrompts::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    nameButtons(box);
}
} // namespace

void QtUserPrompts::message(QWidget* parent, const QString& text, Icon icon)
{
    QMessageBox box(parent);
    prepareMessage(box, text, icon);
    box.exec();
}

void QtUserPrompts::notify(QWidget* parent, const QString& text, Icon icon)
{
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    prepareMessage(*box, text, icon);
    box->show();
}

namespace {
// A Yes/No question box, captioned "Tolvek" unless a caption is given.
void prepareQuestion(QMessageBox& box, const QString& text, const QString& caption, bool defaultNo)
{
    box.setWindowTitle(caption.isEmpty() ? QStringLiteral("Tolvek") : caption);
    box.setText(windowsToDisplay(text));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    nameButtons(box);
}
} // namespace

bool QtUserPrompts::question(QWidget* parent, const QString& text, const QString& caption, bool defaultNo)
{
    QMessageBox box(parent);
    prepareQuestion(box, text, caption, defaultNo);
    return box.exec() == QMessageBox::Yes;
}

bool QtUserPrompts::questionAt(QWidget* parent, const QString& text, const QString& caption, bool defaultNo,
                               QPoint at)
{
    QMessageBox box(parent);
    prepareQuestion(box, text, caption, defaultNo);
    // The box has its final size only once shown; it is moved as soon as the loop runs.
    QTimer::singleShot(0, &box, [&box, at] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen)
            box.move(centredOnPoint(box.frameGeometry().size(), at, screen->geometry()));
    });
    return box.exec() == QMessageBox::Yes;
}

QString QtUserPrompts::pickFolder(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString QtUserPrompts::pickSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                                    const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, proposed, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void QtUserPrompts::beep()
{
    QApplication::beep();
}

std::optional<int> QtUserPrompts::askPatientId(QWidget* parent, const GetNewIdSetup& setup)
{
    return CGetNewID::ask(setup, parent);
}

std::optional<int> QtUserPrompts::askBackupDate(QWidget* parent, const BackupDateSetup& setup)
{
    return CDayretr::ask(setup, parent);
}

bool QtUserPrompts::runBackup(QWidget* parent, BackupRunner& runner)
{
    BackupDlg dialog(runner, parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<int> QtUserPrompts::askVideoId(QWidget* parent, int oldId)
{
    return CGetID::ask(parent, oldId);
}

int QtUserPrompts::runTrimDialog(CTrim& dialog)
{
    return dialog.exec();
}

} // namespace tolvek
