#include "support/GyroBoardProcess.h"

namespace tolvek::test {

GyroBoardProcess::GyroBoardProcess(const QString& scenario)
{
    m_process.setProgram(QStringLiteral(TOLVEK_BINARY_DIR "/tests/PtyGyroBoard"));
    m_process.setArguments({scenario});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("PtyGyroBoard did not start: ") + m_process.errorString();
        return;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000)) {
            m_error = QStringLiteral("PtyGyroBoard printed no slave path: ") +
                      QString::fromLocal8Bit(m_process.readAllStandardError());
            return;
        }
    }
    m_slavePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

GyroBoardProcess::~GyroBoardProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace tolvek::test
