#pragma once
// The serial ports offered for the gyro board, and what the ComPort setting means here: the
// device name of a port ("ttyACM0", found under /dev) or a full device path ("/dev/pts/3", a
// /dev/serial/by-id link). Where the COM menu wrote a port number, it writes the listed port's
// device name; "0" (or any plain number, as left by an older configuration) names no port.
// Pure functions except enumerateComPorts and isCharacterDevicePath, which ask the system.
// UI thread only for the listing; nothing here fails, it returns empty lists or keeps values.

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace tolvek {

inline constexpr int ComPortListCapacity = 100;
inline constexpr int ComPortDisplayTextMax = 255;
inline constexpr int ComPortMenuCaptionMax = 249;
inline constexpr int ComPortMenuItems = 9; // commands 32884..32892
inline constexpr char NoComPort[] = "0";

// What the system tells about one serial port (the fields of QSerialPortInfo that matter).
struct SerialPortFacts
{
    QString portName;       // "ttyACM0"
    QString systemLocation; // "/dev/ttyACM0"
    QString description;    // "Arduino Uno", may be empty
};

// One listed port: deviceName goes into ComPort, displayText is the menu caption.
struct ComPortEntry
{
    QString deviceName;
    QString systemLocation;
    QString displayText; // "<name>( <description>)", at most 255 characters
    bool operator==(const ComPortEntry&) const = default;
};

// Bluetooth serial links are never offered: a description containing "luetooth" (either case of
// the first letter) or an rfcomm device, which is how Linux names them.
bool isBluetoothPort(const SerialPortFacts& port);

// ComPortList from what the system reports: Bluetooth ports left out, sorted by device name with
// numbers in natural order (ttyACM2 before ttyACM10) so that the k-th menu item names the same
// port from one listing to the next, at most 100 entries.
QList<ComPortEntry> comPortEntries(QList<SerialPortFacts> ports);

// EnumerateComPorts: comPortEntries over QSerialPortInfo::availablePorts().
QList<ComPortEntry> enumerateComPorts();

// Index of the listed entry a ComPort value names (by device name or by its /dev path), or -1.
int comPortIndex(const QList<ComPortEntry>& listed, const QString& comPort);

// The captions of the serial-port menu items: one per listed port, at most nine, each cut to
// 249 characters.
QStringList comPortMenuCaptions(const QList<ComPortEntry>& listed);

// The item of the serial-port menu to check (0..8), or nullopt: only while the SensorMode text
// contains "1" and ComPort names one of the first nine listed ports.
std::optional<int> checkedComPortItem(const QList<ComPortEntry>& listed, const QString& comPort,
                                      const QString& sensorModeText);

// The device path the serial link opens for a ComPort value: a value starting with "/" as it
// is, any other name under /dev. nullopt for an empty value and for plain numbers ("0", "255").
std::optional<QString> gyroPortLocation(const QString& comPort);

// True when path exists and is (or links to) a character device. Does not open it: opening a
// serial port would reset a board.
bool isCharacterDevicePath(const QString& path);

// The start-up reconciliation. Only when sensorModeInt (GetSettingInt of SensorMode) is 1 or 2:
// a ComPort that names a listed port stays, and so does a full path naming an existing serial
// device that the listing does not show (a pseudo-terminal, a /dev/serial/by-id link); any other
// value becomes the first listed device name, or "0" when no port is listed.
QString
reconciledComPort(const QString& comPort, int sensorModeInt, const QList<ComPortEntry>& listed,
                  const std::function<bool(const QString&)>& isSerialDevicePath = isCharacterDevicePath);

} // namespace tolvek
