#include "ui/shared/CProgressDlg.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tolvek {

CProgressDlg::CProgressDlg(const QString& title, const QString& message, QWidget* parent)
    : QDialog(parent), m_text(new QLabel(message, this)), m_message(message)
{
    setWindowTitle(title);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    m_text->setObjectName(QString::number(ProgressTextId));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setMinimumWidth(220);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    connect(&m_timer, &QTimer::timeout, this, &CProgressDlg::tick);
    m_timer.start(ProgressBlinkMs);
}

void CProgressDlg::setBlinking(bool on)
{
    m_blinking = on;
    if (!on) {
        m_phaseOn = true;
        m_text->setText(m_message);
    }
}

void CProgressDlg::setMessage(const QString& message)
{
    m_message = message;
    m_phaseOn = true;
    m_text->setText(message);
    m_text->repaint();
}

QString CProgressDlg::shownText() const
{
    return m_text->text();
}

void CProgressDlg::tick()
{
    if (!m_blinking)
        return;
    m_phaseOn = !m_phaseOn;
    m_text->setText(m_phaseOn ? m_message : QString());
    m_text->repaint();
}

} // namespace tolvek
