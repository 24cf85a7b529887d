#pragma once
// SerialGyroThread: the serial gyro board link. Opens the port ComPort names, sends the start
// byte, waits up to 2 s for an answer, then cuts the stream into packets and feeds HeadState until
// its run flag is cleared or the SensorMode text stops containing "1". Every failure (no port,
// cannot open, silent board, unplugged) ends the thread quietly with a reason; the reason is
// written to the debug log only.

#include "core/sensor/GyroLinkThread.h"

#include <optional>

class QSerialPort;

namespace tolvek {

class Settings;

inline constexpr int GyroBaudRate = 115200;
inline constexpr int GyroQueueBytes = 4096;   // receive buffer bound
inline constexpr int GyroSettleMs = 500;      // after opening, before the start byte
inline constexpr int GyroAnswerWaitMs = 2000; // for the board's first byte
inline constexpr int GyroReadIntervalMs = 50; // a gap this long drops a partial packet
inline constexpr int GyroWriteTimeoutMs = 1000;

// OpenGyroPort: opens the device at location for reading and writing, exclusively, and applies
// the line settings (ConfigureGyroPort). On false the port is closed and the reason logged.
bool openGyroPort(QSerialPort& port, const QString& location);
// ConfigureGyroPort: 115200 baud, 8 data bits, no parity, one stop bit, no flow control, DTR and
// RTS on. Modem lines that the device cannot set (a pseudo-terminal has none) are logged and
// tolerated; any other refused setting fails.
bool configureGyroPort(QSerialPort& port);

class SerialGyroThread : public GyroLinkThread
{
    Q_OBJECT
  public:
    // settings must outlive the thread (the process-wide settings do).
    SerialGyroThread(std::shared_ptr<HeadState> head, Settings& settings, QObject* parent = nullptr);

  protected:
    void run() override;

  private:
    SensorLinkEnd stream(QSerialPort& port);
    std::optional<SensorLinkEnd> handshake(QSerialPort& port);

    Settings& m_settings;
};

} // namespace tolvek
