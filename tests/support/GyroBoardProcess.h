#pragma once
// Runs the PtyGyroBoard helper program with a scenario and hands out the slave side of its
// pseudo-terminal. The board is killed when the fixture ends.

#include <QProcess>
#include <QString>

namespace tolvek::test {

class GyroBoardProcess
{
  public:
    // Starts the board and waits for the slave path; slavePath() is empty when that failed.
    explicit GyroBoardProcess(const QString& scenario);
    ~GyroBoardProcess();
    GyroBoardProcess(const GyroBoardProcess&) = delete;
    GyroBoardProcess& operator=(const GyroBoardProcess&) = delete;

    QString slavePath() const { return m_slavePath; }
    QString errorText() const { return m_error; }
    QProcess& process() { return m_process; }

  private:
    QProcess m_process;
    QString m_slavePath;
    QString m_error;
};

} // namespace tolvek::test
