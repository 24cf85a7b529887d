// The serial-port list, the meaning of ComPort, its start-up reconciliation and the effects of
// the sensor menu commands.

#include "core/sensor/SensorCommands.h"
#include "core/sensor/ComPortList.h"
#include "core/settings/Settings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace tolvek;

namespace {

SerialPortFacts port(const char* name, const char* description)
{
    const QString portName = QString::fromLatin1(name);
    return {portName, QStringLiteral("/dev/") + portName, QString::fromUtf8(description)};
}

QStringList names(const QList<ComPortEntry>& entries)
{
    QStringList out;
    for (const ComPortEntry& e : entries)
        out.append(e.deviceName);
    return out;
}

const QList<ComPortEntry> TwoPorts =
    comPortEntries({port("ttyACM0", "Arduino Uno"), port("ttyUSB0", "CP2102")});

} // namespace

TEST(ComPortListTest, EntriesLeaveOutBluetoothAndCaptionEachPort)
{
    const QList<ComPortEntry> entries = comPortEntries({
        port("ttyUSB1", "FT232R USB UART"),
        port("rfcomm0", ""), // Linux's Bluetooth serial device
        port("ttyACM12", "Arduino Leonardo"),
        port("ttyS5", "Standard Serial over Bluetooth link"),
        port("ttyS6", "bluetooth serial"), // lower-case b
        port("ttyS0", ""),
    });
    ASSERT_EQ(names(entries), (QStringList{"ttyACM12", "ttyS0", "ttyUSB1"}));
    EXPECT_EQ(entries[0].displayText, QStringLiteral("ttyACM12( Arduino Leonardo)"));
    EXPECT_EQ(entries[0].systemLocation, QStringLiteral("/dev/ttyACM12"));
    EXPECT_EQ(entries[1].displayText, QStringLiteral("ttyS0")); // no empty "( )"
}

TEST(ComPortListTest, OrderIsNaturalAndStableAndTheListIsBounded)
{
    QList<SerialPortFacts> many;
    for (int i = 150; i > 0; --i)
        many.append(port(qPrintable(QStringLiteral("ttyACM%1").arg(i)), "x"));
    many.append(port("ttyACM2", "second with the same name"));
    const QList<ComPortEntry> entries = comPortEntries(many);
    ASSERT_EQ(entries.size(), ComPortListCapacity);
    EXPECT_EQ(entries[0].deviceName, QStringLiteral("ttyACM1"));
    EXPECT_EQ(entries[1].displayText, QStringLiteral("ttyACM2( x)")); // the first reported stays first
    EXPECT_EQ(entries[2].displayText, QStringLiteral("ttyACM2( second with the same name)"));
    EXPECT_EQ(entries[10].deviceName, QStringLiteral("ttyACM10"));
    EXPECT_EQ(entries.back().deviceName, QStringLiteral("ttyACM99"));

    const QString longDescription(400, u'd');
    const QList<ComPortEntry> longOne = comPortEntries({{"ttyUSB0", "/dev/ttyUSB0", longDescription}});
    EXPECT_EQ(longOne[0].displayText.size(), ComPortDisplayTextMax);
    EXPECT_EQ(comPortMenuCaptions(longOne)[0].size(), ComPortMenuCaptionMax);
}

TEST(ComPortListTest, MenuShowsNinePortsAndChecksTheChosenOne)
{
    QList<SerialPortFacts> ports;
    for (int i = 0; i < 12; ++i)
        ports.append(port(qPrintable(QStringLiteral("ttyUSB%1").arg(i)), "adapter"));
    const QList<ComPortEntry> listed = comPortEntries(ports);
    EXPECT_EQ(comPortMenuCaptions(listed).size(), ComPortMenuItems);
    EXPECT_EQ(comPortMenuCaptions(TwoPorts), (QStringList{"ttyACM0( Arduino Uno)", "ttyUSB0( CP2102)"}));

    struct Case
    {
        const char* comPort;
        const char* sensorMode;
        std::optional<int> checked;
    };
    const Case cases[] = {
        {"ttyUSB3", "1", 3},
        {"/dev/ttyUSB3", "1", 3}, // the full path names the same port
        {"ttyUSB8", "1", 8},
        {"ttyUSB9", "1", std::nullopt}, // listed, but beyond the ninth item
        {"ttyUSB3", "2", std::nullopt}, // the phone is the sensor
        {"ttyUSB3", "0", std::nullopt},
        {"ttyACM0", "1", std::nullopt},
        {"", "1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comPort);
        const QString comPort = QString::fromLatin1(c.comPort);
        EXPECT_EQ(checkedComPortItem(listed, comPort, QString::fromLatin1(c.sensorMode)), c.checked);
    }
}

TEST(ComPortListTest, ComPortValuesMapOntoDevicePaths)
{
    struct Case
    {
        const char* comPort;
        std::optional<QString> location;
    };
    const Case cases[] = {
        {"ttyACM0", QStringLiteral("/dev/ttyACM0")},
        {"/dev/pts/7", QStringLiteral("/dev/pts/7")},
        {"/dev/serial/by-id/usb-Arduino", QStringLiteral("/dev/serial/by-id/usb-Arduino")},
        {" ttyUSB0 ", QStringLiteral("/dev/ttyUSB0")},
        {"0", std::nullopt},
        {"255", std::nullopt}, // the default, a COM number that names nothing here
        {"3", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comPort);
        EXPECT_EQ(gyroPortLocation(QString::fromLatin1(c.comPort)), c.location);
    }
}

TEST(ComPortListTest, CharacterDevicesAreRecognisedWithoutOpeningThem)
{
    test::TempDir dir;
    ASSERT_TRUE(dir.write(QStringLiteral("plain"), "x"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), dir.file(QStringLiteral("link-to-device"))));
    EXPECT_TRUE(isCharacterDevicePath(QStringLiteral("/dev/null")));
    EXPECT_TRUE(isCharacterDevicePath(dir.file(QStringLiteral("link-to-device"))));
    EXPECT_FALSE(isCharacterDevicePath(dir.file(QStringLiteral("plain"))));
    EXPECT_FALSE(isCharacterDevicePath(dir.path()));
    EXPECT_FALSE(isCharacterDevicePath(dir.file(QStringLiteral("missing"))));
    EXPECT_FALSE(isCharacterDevicePath(QString()));
}

TEST(ComPortListTest, StartUpReconciliationKeepsUsablePortsAndReplacesTheRest)
{
    const auto devices = [](const QString& path) {
        return path == u"/dev/pts/4" || path == u"/dev/serial/by-id/usb-board";
    };
    struct Case
    {
        const char* comPort;
        int sensorMode;
        QList<ComPortEntry> listed;
        const char* expected;
    };
    const Case cases[] = {
        {"255", 1, TwoPorts, "ttyACM0"}, // the default becomes the first listed port
        {"ttyUSB0", 1, TwoPorts, "ttyUSB0"},
        {"/dev/ttyUSB0", 2, TwoPorts, "/dev/ttyUSB0"},
        {"ttyUSB7", 1, TwoPorts, "ttyACM0"}, // unplugged since last time
        {"255", 1, {}, "0"},
        {"ttyUSB0", 2, {}, "0"},
        {"255", 0, TwoPorts, "255"}, // no sensor: left alone
        {"ttyUSB7", -1, TwoPorts, "ttyUSB7"},
        {"/dev/pts/4", 1, TwoPorts, "/dev/pts/4"}, // a pseudo-terminal the listing cannot show
        {"/dev/serial/by-id/usb-board", 1, {}, "/dev/serial/by-id/usb-board"},
        {"/dev/pts/9", 1, TwoPorts, "ttyACM0"}, // gone
        {"pts/4", 1, TwoPorts, "ttyACM0"},      // only full paths are kept unlisted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comPort);
        EXPECT_EQ(reconciledComPort(QString::fromLatin1(c.comPort), c.sensorMode, c.listed, devices),
                  QString::fromLatin1(c.expected));
    }

    Settings settings;
    settings.setValue(SensorMode, QStringLiteral("1"));
    EXPECT_TRUE(reconcileComPortSetting(settings, TwoPorts, devices));
    EXPECT_EQ(settings.value(ComPort), QStringLiteral("ttyACM0"));
    EXPECT_FALSE(reconcileComPortSetting(settings, TwoPorts, devices));
    // GetSettingInt, not a digit search: "12" is no sensor mode.
    settings.setValue(SensorMode, QStringLiteral("12"));
    settings.setValue(ComPort, QStringLiteral("255"));
    EXPECT_FALSE(reconcileComPortSetting(settings, TwoPorts, devices));
}

TEST(SensorCommandsTest, CommandsWriteTheSettingsAndSwitchTheLink)
{
    using E = SensorCommandEffect;
    const auto serial = [](const char* port, bool inLive) {
        E e;
        e.sensorMode = QStringLiteral("1");
        e.comPort = QString::fromLatin1(port);
        e.refreshTexts = e.stopLink = true;
        e.startLink = e.reapplyMode = inLive;
        return e;
    };
    E phone;
    phone.sensorMode = QStringLiteral("2");
    phone.refreshTexts = phone.showPhoneSetup = phone.stopLink = phone.startLink = phone.reapplyMode = true;
    E phoneLater = phone;
    phoneLater.startLink = phoneLater.reapplyMode = false;
    E phoneAgain;
    phoneAgain.showPhoneSetup = phoneAgain.startLink = true;
    E phoneAgainLater;
    phoneAgainLater.showPhoneSetup = true;
    E manual;
    manual.sensorMode = QStringLiteral("0");
    manual.refreshTexts = manual.stopLink = manual.reapplyMode = true;
    E manualLater = manual;
    manualLater.reapplyMode = false;

    struct Case
    {
        int command;
        const char* sensorMode;
        int windowMode;
        std::optional<E> expected;
    };
    const Case cases[] = {
        {32884, "0", 1, serial("ttyACM0", true)},
        {32885, "2", 0, serial("ttyUSB0", true)},
        {32885, "1", 2, serial("ttyUSB0", false)}, // library: the link starts with the next recording
        {32884, "1", 3, serial("ttyACM0", false)},
        {32886, "1", 1, std::nullopt}, // no third port listed
        {32892, "1", 1, std::nullopt},
        {32844, "1", 1, phone},
        {32844, "0", 0, phone},
        {32844, "1", 2, phoneLater},
        {32844, "2", 1, phoneAgain}, // already the phone: the setup box only
        {32844, "2", 3, phoneAgainLater},
        {32809, "1", 0, manual},
        {32809, "2", 2, manualLater},  // the link stops in every mode
        {32809, "0", 1, E{}},          // already manual: nothing
        {32830, "1", 1, std::nullopt}, // a direction command is not a link command
        {32883, "1", 1, std::nullopt},
        {32893, "1", 1, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.command << " mode " << c.sensorMode << " window " << c.windowMode);
        const std::optional<E> effect =
            sensorCommandEffect(c.command, QString::fromLatin1(c.sensorMode), c.windowMode, TwoPorts);
        ASSERT_EQ(effect.has_value(), c.expected.has_value());
        if (effect) {
            EXPECT_EQ(effect->sensorMode, c.expected->sensorMode);
            EXPECT_EQ(effect->comPort, c.expected->comPort);
            EXPECT_EQ(*effect, *c.expected);
        }
    }
    EXPECT_EQ(comPortItemForCommand(32884), 0);
    EXPECT_EQ(comPortItemForCommand(32892), 8);
    EXPECT_EQ(comPortItemForCommand(32893), std::nullopt);
}
