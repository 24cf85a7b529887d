#include "core/sensor/SerialGyroThread.h"

#include "core/sensor/ComPortList.h"
#include "core/sensor/GyroPacketFramer.h"
#include "core/sensor/SensorLog.h"
#include "core/settings/Settings.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace tolvek {

namespace {

// A wait that ended without data: a time-out is normal, any other error means the device is gone.
bool portFailed(QSerialPort& port)
{
    const QSerialPort::SerialPortError error = port.error();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) {
        port.clearError();
        return false;
    }
    qCDebug(lcSensor) << "serial port error" << error << port.errorString();
    return true;
}

} // namespace

bool configureGyroPort(QSerialPort& port)
{
    const bool lineOk = port.setBaudRate(GyroBaudRate) && port.setDataBits(QSerialPort::Data8) &&
                        port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
                        port.setFlowControl(QSerialPort::NoFlowControl);
    if (!lineOk) {
        qCDebug(lcSensor) << "line settings refused:" << port.errorString();
        return false;
    }
    // The board's USB bridge wants DTR and RTS held on; a pseudo-terminal or a bridge without modem
    // lines refuses them, which does not stop the data.
    if (!port.setDataTerminalReady(true) || !port.setRequestToSend(true)) {
        qCDebug(lcSensor) << "DTR/RTS not available:" << port.errorString();
        port.clearError();
    }
    return true;
}

bool openGyroPort(QSerialPort& port, const QString& location)
{
    if (port.isOpen())
        port.close();
    port.setPortName(location);
    if (!port.open(QIODevice::ReadWrite)) {
        qCDebug(lcSensor).noquote()
            << QStringLiteral("Cannot open %1 (err=%2)").arg(location, port.errorString());
        return false;
    }
    port.setReadBufferSize(GyroQueueBytes);
    if (!configureGyroPort(port)) {
        port.close();
        return false;
    }
    port.clear(QSerialPort::AllDirections);
    port.clearError();
    return true;
}

SerialGyroThread::SerialGyroThread(std::shared_ptr<HeadState> head, Settings& settings, QObject* parent)
    : GyroLinkThread(std::move(head), media::HeadSource::Serial, parent), m_settings(settings)
{
}

void SerialGyroThread::run()
{
    const QString comPort = m_settings.value(ComPort);
    const std::optional<QString> location = gyroPortLocation(comPort);
    if (!location) {
        qCDebug(lcSensor) << "no serial port set:" << comPort;
        finish(0, SensorLinkEnd::NoPort);
        return;
    }
    QSerialPort port;
    if (!openGyroPort(port, *location)) {
        finish(0, SensorLinkEnd::OpenFailed);
        return;
    }
    const std::optional<SensorLinkEnd> failed = handshake(port);
    const SensorLinkEnd reason = failed ? *failed : stream(port);
    port.close();
    finish(0, reason);
}

// nullopt when the board answered and streaming may begin.
std::optional<SensorLinkEnd> SerialGyroThread::handshake(QSerialPort& port)
{
    // Boards that reset when the port opens need a moment before they listen.
    if (!sleepWhileRunning(GyroSettleMs))
        return SensorLinkEnd::Stopped;
    if (port.write(&GyroStartByte, 1) != 1 || !port.waitForBytesWritten(GyroWriteTimeoutMs)) {
        qCDebug(lcSensor) << "start byte not written:" << port.errorString();
        port.clearError();
    }
    QDeadlineTimer deadline(GyroAnswerWaitMs);
    while (port.bytesAvailable() == 0 && !deadline.hasExpired()) {
        if (!running())
            return SensorLinkEnd::Stopped;
        const int step = static_cast<int>(std::min<qint64>(GyroReadIntervalMs, deadline.remainingTime()));
        if (!port.waitForReadyRead(std::max(step, 1)) && portFailed(port))
            return SensorLinkEnd::PortLost;
    }
    if (port.bytesAvailable() == 0) {
        qCDebug(lcSensor) << "board silent after the start byte";
        return SensorLinkEnd::BoardSilent;
    }
    // Whatever arrived so far may be a greeting or a partial packet: start from a clean queue.
    port.clear(QSerialPort::Input);
    return std::nullopt;
}

SensorLinkEnd SerialGyroThread::stream(QSerialPort& port)
{
    GyroPacketFramer framer;
    m_listening.store(true);
    // A device that keeps signalling data but yields none is gone; bounded so it cannot spin.
    int emptyReads = 0;
    auto publish = [&] {
        m_misalignedReads.store(framer.misalignedReads(), std::memory_order_relaxed);
        m_longestMisalignedRun.store(framer.longestMisalignedRun(), std::memory_order_relaxed);
        m_droppedBytes.store(framer.droppedBytes(), std::memory_order_relaxed);
    };
    while (running()) {
        if (!m_settings.contains(SensorMode, u'1'))
            return SensorLinkEnd::ModeChanged;
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(GyroReadIntervalMs)) {
            if (portFailed(port))
                return SensorLinkEnd::PortLost;
            framer.lineIdle();
            publish();
            continue;
        }
        const QByteArray bytes = port.readAll();
        if (bytes.isEmpty()) {
            if (++emptyReads > 100 || portFailed(port))
                return SensorLinkEnd::PortLost;
            continue;
        }
        emptyReads = 0;
        framer.feed(bytes, [this](const Quaternion& q) { deliver(q); });
        publish();
    }
    return SensorLinkEnd::Stopped;
}

} // namespace tolvek
