#pragma once
// Points the home folder and the data folder, and with them the user's trash, into a test's own
// folder for as long as it lives, so that nothing a test moves to the trash lands in the home of
// the machine it runs on. Not thread-safe: make it before the code under test runs.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace tolvek::test {

class ScopedHome
{
  public:
    explicit ScopedHome(const QString& home)
        : m_oldHome(qgetenv("HOME")), m_oldData(qgetenv("XDG_DATA_HOME")),
          m_data(home + QStringLiteral("/.local/share"))
    {
        QDir().mkpath(m_data);
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data));
    }
    ~ScopedHome()
    {
        qputenv("HOME", m_oldHome);
        if (m_oldData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_oldData);
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

    // Where a file of that name lies once it has been moved to the trash.
    QString trashed(const QString& name) const { return m_data + QStringLiteral("/Trash/files/") + name; }

  private:
    QByteArray m_oldHome;
    QByteArray m_oldData;
    QString m_data;
};

} // namespace tolvek::test
