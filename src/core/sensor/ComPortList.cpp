#include "core/sensor/ComPortList.h"

#include <QFile>
#include <QSerialPortInfo>

#include <sys/stat.h>

#include <algorithm>

namespace tolvek {

namespace {

// Natural order: runs of digits compare by value, everything else by character code.
bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare the digit runs without leading zeros: first by length, then digit by digit.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si] == u'0')
                ++si;
            while (sj + 1 < ej && b[sj] == u'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj));
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b;
}

} // namespace

bool isBluetoothPort(const SerialPortFacts& port)
{
    return port.description.contains(QLatin1String("luetooth")) ||
           port.portName.startsWith(QLatin1String("rfcomm"));
}

QList<ComPortEntry> comPortEntries(QList<SerialPortFacts> ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPortFacts& a, const SerialPortFacts& b) {
        return naturalLess(a.portName, b.portName);
    });
    QList<ComPortEntry> out;
    for (const SerialPortFacts& port : ports) {
        if (out.size() >= ComPortListCapacity)
            break;
        if (port.portName.isEmpty() || isBluetoothPort(port))
            continue;
        // A port without a description is shown by its name alone, not with an empty "( )".
        const QString text = port.description.isEmpty()
                                 ? port.portName
                                 : port.portName + QLatin1String("( ") + port.description + u')';
        out.append({port.portName, port.systemLocation, text.left(ComPortDisplayTextMax)});
    }
    return out;
}

QList<ComPortEntry> enumerateComPorts()
{
    QList<SerialPortFacts> facts;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    facts.reserve(infos.size());
    for (const QSerialPortInfo& info : infos)
        facts.append({info.portName(), info.systemLocation(), info.description()});
    return comPortEntries(std::move(facts));
}

int comPortIndex(const QList<ComPortEntry>& listed, const QString& comPort)
{
    if (comPort.isEmpty())
        return -1;
    for (qsizetype i = 0; i < listed.size(); ++i) {
        const ComPortEntry& e = listed[i];
        if (e.deviceName == comPort || (!e.systemLocation.isEmpty() && e.systemLocation == comPort))
            return static_cast<int>(i);
    }
    return -1;
}

QStringList comPortMenuCaptions(const QList<ComPortEntry>& listed)
{
    QStringList captions;
    for (qsizetype i = 0; i < listed.size() && i < ComPortMenuItems; ++i)
        captions.append(listed[i].displayText.left(ComPortMenuCaptionMax));
    return captions;
}

std::optional<int> checkedComPortItem(const QList<ComPortEntry>& listed, const QString& comPort,
                                      const QString& sensorModeText)
{
    if (!sensorModeText.contains(u'1'))
        return std::nullopt;
    const int index = comPortIndex(listed, comPort);
    if (index < 0 || index >= ComPortMenuItems)
        return std::nullopt;
    return index;
}

std::optional<QString> gyroPortLocation(const QString& comPort)
{
    const QString value = comPort.trimmed();
    if (value.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    value.toLongLong(&isNumber);
    if (isNumber)
        return std::nullopt;
    if (value.startsWith(u'/'))
        return value;
    return QLatin1String("/dev/") + value;
}

bool isCharacterDevicePath(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

QString reconciledComPort(const QString& comPort, int sensorModeInt, const QList<ComPortEntry>& listed,
                          const std::function<bool(const QString&)>& isSerialDevicePath)
{
    if (sensorModeInt != 1 && sensorModeInt != 2)
        return comPort;
    if (comPortIndex(listed, comPort) >= 0)
        return comPort;
    if (comPort.startsWith(u'/') && isSerialDevicePath && isSerialDevicePath(comPort))
        return comPort;
    return listed.isEmpty() ? QString::fromLatin1(NoComPort) : listed.first().deviceName;
}

} // namespace tolvek
