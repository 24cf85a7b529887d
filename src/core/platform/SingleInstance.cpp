#include "core/platform/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tolvek::platform {

namespace {
constexpr char InstanceName[] = "Tolvek2_SingleInstance";
constexpr char ActivateRequest[] = "activate\n";
} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent) : QObject(parent), m_folder(std::move(folder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

bool SingleInstance::hasRestartArgument(const QStringList& arguments)
{
    // Case-sensitive substring of the whole command line, as a longer word containing it counts.
    return arguments.join(u' ').contains(QStringLiteral("/restart"));
}

QString SingleInstance::lockPath() const
{
    return m_folder + u'/' + QLatin1String(InstanceName) + QStringLiteral(".lock");
}

QString SingleInstance::serverName() const
{
    return m_folder + u'/' + QLatin1String(InstanceName);
}

bool SingleInstance::acquire()
{
    QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(lockPath());
    m_lock->setStaleLockTime(0); // staleness is judged by the owner's process id only
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(serverName()); // a socket left by a crashed copy
    if (!m_server->listen(serverName()))
        return true; // still the only copy; it just cannot be raised from outside
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(QByteArray(ActivateRequest).trimmed()))
                    Q_EMIT activationRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::activateRunning(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(ActivateRequest);
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return written;
}

} // namespace tolvek::platform
