#pragma once
// One running copy per user: a lock file in the runtime folder plus a local server of the same
// name. A second copy asks the first to restore and raise its window, then ends.
// UI thread only. A stale lock left by a crashed copy is taken over.

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace tolvek::platform {

class SingleInstance : public QObject
{
    Q_OBJECT
  public:
    // folder: where the lock file and the server socket live (the runtime folder by default).
    explicit SingleInstance(QString folder = defaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultFolder();
    static bool hasRestartArgument(const QStringList& arguments); // "/restart" anywhere

    // True when this copy now holds the lock and listens for activation requests.
    bool acquire();
    // Asks the running copy to show itself; false when no copy answered.
    bool activateRunning(int timeoutMs = 2000) const;

    QString lockPath() const;
    QString serverName() const;

  Q_SIGNALS:
    void activationRequested();

  private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace tolvek::platform
