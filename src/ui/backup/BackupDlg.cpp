#include "ui/backup/BackupDlg.h"

#include "core/backup/BackupRunner.h"
#include "core/i18n/UiTexts.h"
#include "ui/shared/LanguageLook.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace tolvek {

BackupDlg::BackupDlg(BackupRunner& runner, QWidget* parent) : QDialog(parent), m_runner(runner)
{
    setObjectName(QStringLiteral("183"));
    setWindowTitle(uiText(TxtBackupDialogTitle));
    // Wider and taller than the template's 320 x 130: the status is a sentence of two lines.
    setFixedSize(420, 150);

    m_status = new QLabel(this);
    m_status->setObjectName(QString::number(IDC_STATUS));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    m_status->setGeometry(10, 6, 400, 52);
    m_controls[IDC_STATUS] = m_status;

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QString::number(IDC_PROGRESS));
    m_progress->setGeometry(10, 66, 400, 20);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, runner.count());
    m_progress->setValue(runner.handled());
    m_controls[IDC_PROGRESS] = m_progress;

    auto* ok = new QPushButton(uiText(TxtOk), this);
    ok->setObjectName(QString::number(IDC_OK));
    ok->setGeometry(110, 106, 95, 30);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    m_controls[IDC_OK] = ok;
    auto* cancel = new QPushButton(uiText(TxtCancel), this);
    cancel->setObjectName(QString::number(IDC_CANCEL));
    cancel->setGeometry(215, 106, 95, 30);
    connect(cancel, &QPushButton::clicked, this, &BackupDlg::reject);
    m_controls[IDC_CANCEL] = cancel;
    adaptPixelLayout(*this);

    m_timer = new QTimer(this);
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &BackupDlg::tick);
    m_timer->start();
}

QWidget* BackupDlg::control(int id) const
{
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QString BackupDlg::statusText() const
{
    return m_status->text();
}

bool BackupDlg::running() const
{
    return m_timer->isActive();
}

void BackupDlg::reject()
{
    if (!running()) {
        accept();
        return;
    }
    m_cancelRequested = true;
}

void BackupDlg::tick()
{
    if (m_cancelRequested) {
        m_timer->stop();
        QDialog::reject();
        return;
    }
    if (m_runner.step()) {
        m_progress->setValue(m_runner.handled());
        m_status->setText(m_runner.progressText());
        return;
    }
    m_timer->stop();
    m_status->setText(m_runner.summaryText());
}

} // namespace tolvek
