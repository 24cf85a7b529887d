#include "support/UdpLoopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tolvek::test {

namespace {

sockaddr_in ipv4(in_addr_t address, quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

} // namespace

quint16 freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a = ipv4(INADDR_ANY, 0);
    socklen_t len = sizeof a;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

UdpSender::UdpSender(quint16 port) : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), m_port(port) {}

UdpSender::~UdpSender()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool UdpSender::send(const QByteArray& datagram) const
{
    const sockaddr_in to = ipv4(INADDR_LOOPBACK, m_port);
    return ::sendto(m_fd, datagram.constData(), static_cast<size_t>(datagram.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), sizeof to) == datagram.size();
}

UdpPortHolder::UdpPortHolder(quint16 port) : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    const sockaddr_in a = ipv4(INADDR_ANY, port);
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

UdpPortHolder::~UdpPortHolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace tolvek::test
