#pragma once
// PhoneGyroThread: the phone link. Binds a UDP socket to port 1108 on every local IPv4 address
// and feeds each "Q:" datagram into HeadState until its run flag is cleared. Datagrams are taken
// from any sender on the network, as the phone app expects; malformed ones are ignored. The
// receive waits at most 250 ms at a time, so a stop takes effect even while the phone is silent.
// Failures end the thread with an exit code: −2 no socket, −3 port in use (silently).

#include "core/sensor/GyroLinkThread.h"
#include "core/sensor/PhoneDatagram.h"

#include <QHostAddress>
#include <QList>
#include <QStringList>

namespace tolvek {

inline constexpr int PhoneExitNormal = 0;
inline constexpr int PhoneExitSocketLibrary = -1; // kept for the code table; cannot occur here
inline constexpr int PhoneExitNoSocket = -2;
inline constexpr int PhoneExitBindFailed = -3;
inline constexpr int PhoneReceiveWaitMs = 250;

// The fixed English text to show for a phone link exit code ("Socket creation failed" for −2,
// "WSAStartup Error" for −1), or an empty text when nothing is shown (0, −3).
QString phoneLinkFailureText(int exitCode);

class PhoneGyroThread : public GyroLinkThread
{
    Q_OBJECT
  public:
    explicit PhoneGyroThread(std::shared_ptr<HeadState> head, quint16 port = PhoneGyroPort,
                             QObject* parent = nullptr);

  protected:
    void run() override;

  private:
    quint16 m_port;
};

// ShowPhoneSetup's text, one line per element: "Set your phone as follows.", "", one
// "IP address : <address>" per IPv4 address whose dotted text does not contain "127" anywhere,
// "", "Port number : 1108". Addresses in the order given; IPv6 addresses are left out.
QStringList phoneSetupLines(const QList<QHostAddress>& addresses, quint16 port = PhoneGyroPort);
// The machine's addresses in interface order (QNetworkInterface::allAddresses).
QList<QHostAddress> localAddresses();

} // namespace tolvek
