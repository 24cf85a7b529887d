#pragma once
// Loopback UDP for the phone link tests: a free port number, a sender to 127.0.0.1 and a
// socket that holds a port so that a link cannot bind it.

#include <QByteArray>
#include <QtGlobal>

namespace tolvek::test {

// A UDP port that was free a moment ago (bound to port 0 and released).
quint16 freeUdpPort();

class UdpSender
{
  public:
    explicit UdpSender(quint16 port);
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;
    // Sends one datagram to 127.0.0.1:port; false when the system refused it.
    bool send(const QByteArray& datagram) const;

  private:
    int m_fd = -1;
    quint16 m_port;
};

// Holds a UDP port on every local address, without address sharing, while it lives.
class UdpPortHolder
{
  public:
    explicit UdpPortHolder(quint16 port);
    ~UdpPortHolder();
    UdpPortHolder(const UdpPortHolder&) = delete;
    UdpPortHolder& operator=(const UdpPortHolder&) = delete;
    bool holding() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

} // namespace tolvek::test
