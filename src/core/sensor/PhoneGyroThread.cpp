#include "core/sensor/PhoneGyroThread.h"

#include "core/i18n/UiTexts.h"
#include "core/sensor/SensorLog.h"

#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvek {

QString phoneLinkFailureText(int exitCode)
{
    switch (exitCode) {
    case PhoneExitSocketLibrary:
        return QStringLiteral("WSAStartup Error");
    case PhoneExitNoSocket:
        return QStringLiteral("Socket creation failed");
    default:
        return {};
    }
}

PhoneGyroThread::PhoneGyroThread(std::shared_ptr<HeadState> head, quint16 port, QObject* parent)
    : GyroLinkThread(std::move(head), media::HeadSource::Phone, parent), m_port(port)
{
}

void PhoneGyroThread::run()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qCDebug(lcSensor) << "Socket creation failed:" << std::strerror(errno);
        finish(PhoneExitNoSocket, SensorLinkEnd::SocketFailed);
        return;
    }
    // No SO_REUSEADDR: a second link on the same port must fail to bind, not share the datagrams.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        qCDebug(lcSensor) << "cannot bind UDP port" << m_port << ":" << std::strerror(errno);
        ::close(fd);
        finish(PhoneExitBindFailed, SensorLinkEnd::BindFailed);
        return;
    }
    m_listening.store(true);

    // One byte more than is read, so the text always ends with a zero.
    char buffer[PhoneDatagramReadSize + 1];
    while (running()) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, PhoneReceiveWaitMs);
        if (ready <= 0)
            continue; // time-out or interrupted: back to the flag check
        // Drain what is queued, so a burst is consumed in one go; the flag is checked per datagram.
        while (running()) {
            // Cleared for every datagram: a short one must never show bytes of an earlier one.
            std::memset(buffer, 0, sizeof buffer);
            const ssize_t n = ::recv(fd, buffer, PhoneDatagramReadSize, MSG_DONTWAIT);
            if (n < 0)
                break;
            m_datagrams.fetch_add(1, std::memory_order_relaxed);
            if (const std::optional<Quaternion> q = parsePhoneDatagram(QByteArrayView(buffer, n)))
                deliver(*q);
            else
                m_ignoredDatagrams.fetch_add(1, std::memory_order_relaxed);
        }
    }
    ::close(fd);
    finish(PhoneExitNormal, SensorLinkEnd::Stopped);
}

QStringList phoneSetupLines(const QList<QHostAddress>& addresses, quint16 port)
{
    QStringList lines{uiText(TxtPhoneSetup), QString()};
    for (const QHostAddress& address : addresses) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const QString text = QHostAddress(address.toIPv4Address()).toString();
        if (text.contains(QLatin1String("127")))
            continue;
        lines.append(uiText(TxtPhoneIpAddress).arg(text));
    }
    lines.append(QString());
    lines.append(uiText(TxtPhonePort).arg(port));
    return lines;
}

QList<QHostAddress> localAddresses()
{
    return QNetworkInterface::allAddresses();
}

} // namespace tolvek
