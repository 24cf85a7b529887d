#include "core/settings/Settings.h"
#include "core/settings/ConfigFile.h"
#include "support/TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tolvek;
using tolvek::test::TempDir;

namespace {

const QByteArray kDefaultFile =
    "(*)Video Capture size(x,y):640,480\r\n"
    "(*)Video Capture FPS:30\r\n"
    "(*)Maximum recording time (min):10\r\n"
    "COM-PORT:255\r\n"
    "Sensor Mode 0/off 1/Arduino 2/SmartPhone:0\r\n"
    "Sensor Direction (1-8):2\r\n"
    "Camera Number:0\r\n"
    "Sisei 1/supine 2/sit:1\r\n"
    "ID history:00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123\r\n"
    "ListAviColumnSizes:120,220,100,500,500\r\n"
    "Show ToolTips:1\r\n"
    "BackupFolder:\r\n"
    "SaveFolder:\r\n"
    "Language:0\r\n";

struct IntCase
{
    const char* text;
    int value;
    int second;
};

} // namespace

TEST(SettingText, IntegerRules)
{
    const IntCase cases[] = {
        {"255", 255, -1},
        {"", -1, -1},
        {"x", -1, -1},
        {"12abc", 12, -1},
        {"  7", 7, -1},
        {"-3", -3, -1},
        {"1280,720", 1280, 720},
        {"1280", 1280, -1},
        {"1280,720,1", -1, -1},
        {"1280 ,720", -1, -1},
        {"1280, 720", 1280, 720},
        {",720", -1, -1},
        {"640,", -1, -1},
        {"99999999999", -1, -1},
        {"+5", 5, -1},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(settingTextToInt(QString::fromUtf8(c.text)), c.value);
        EXPECT_EQ(settingTextToSecondInt(QString::fromUtf8(c.text)), c.second);
    }
}

TEST(SettingText, StrictUtf8Detection)
{
    EXPECT_FALSE(isStrictUtf8(""));
    EXPECT_TRUE(isStrictUtf8("plain ascii"));
    EXPECT_TRUE(isStrictUtf8("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isStrictUtf8("caf\xE9"));              // Windows-1252 e-acute
    EXPECT_FALSE(isStrictUtf8("\xC3"));                 // cut off by the end of the data
    EXPECT_FALSE(isStrictUtf8("\xE6\x97"));             // cut off
    EXPECT_FALSE(isStrictUtf8("\xC3\x41"));             // wrong continuation
    EXPECT_FALSE(isStrictUtf8("\xF8\x88\x80\x80\x80")); // five-byte form is not UTF-8
}

TEST(SettingsParse, LineRules)
{
    Settings s;
    s.parse(QStringLiteral("Language: 3\n"
                           "language:5\r\n"      // lower-case key is not a key
                           "SaveFolder:/a\r\r\n" // CR CR LF
                           "garbage line\n\n"
                           "SaveFolder:/b\n"             // the later line wins
                           "Camera Number:2 trailing")); // no line end at all
    EXPECT_EQ(s.value(Language), QStringLiteral(" 3"));
    EXPECT_EQ(s.value(SaveFolder), QStringLiteral("/b"));
    EXPECT_EQ(s.value(CameraNumber), QStringLiteral("2 trailing"));
    EXPECT_EQ(s.getInt(CameraNumber), 2);
    EXPECT_EQ(s.value(CaptureFps), QStringLiteral("30")); // unmatched keys take their defaults
    EXPECT_EQ(s.value(BackupFolder), QString());
}

TEST(SettingsParse, LongValuesAreCutTo259)
{
    Settings s;
    s.parse(QStringLiteral("SaveFolder:") + QString(400, u'x'));
    EXPECT_EQ(s.value(SaveFolder).size(), 259);
    s.setValue(BackupFolder, QString(300, u'y'));
    EXPECT_EQ(s.value(BackupFolder).size(), 259);
}

// The cut must not leave what the file cannot hold at the end of a value: a carriage return
// (dropped with the line end on reading) or half of a character outside the BMP. Otherwise the
// saved file reads back different from what was saved.
TEST(SettingsParse, ValuesCutTo259ReadBackAsSaved)
{
    const QString high = QString(QChar(0xD83D));
    const QString low = QString(QChar(0xDE00));
    const struct
    {
        const char* what;
        QString value;
        QString kept;
    } cases[] = {
        {"carriage return at the cut", QString(258, u'x') + u'\r' + QStringLiteral("tail"),
         QString(258, u'x')},
        {"pair split by the cut", QString(258, u'x') + high + low, QString(258, u'x')},
        {"pair before the cut", QString(257, u'x') + high + low + u'y', QString(257, u'x') + high + low},
        {"carriage return inside", QStringLiteral("a\rb"), QStringLiteral("a\rb")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Settings s;
        s.parse(QStringLiteral("SaveFolder:") + c.value + QStringLiteral("\r\n"));
        EXPECT_EQ(s.value(SaveFolder), c.kept);
        s.setValue(BackupFolder, c.value);
        EXPECT_EQ(s.value(BackupFolder), c.kept);
        Settings again;
        again.parse(decodeConfigBytes(s.serialize()).text);
        EXPECT_EQ(again.value(SaveFolder), s.value(SaveFolder));
        EXPECT_EQ(again.value(BackupFolder), s.value(BackupFolder));
    }
}

TEST(SettingsParse, CaptureSizeFallsBackForUnusableSizes)
{
    const struct
    {
        const char* value;
        int w, h;
        bool fallback;
    } cases[] = {
        {"1280,720", 1280, 720, false}, {"640,480", 640, 480, false},      {"0,480", 640, 480, true},
        {"-640,480", 640, 480, true},   {"1280", 640, 480, true},          {"", 640, 480, true},
        {"abc", 640, 480, true},        {"100000,100000", 640, 480, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Settings s;
        s.setValue(CaptureSize, QString::fromUtf8(c.value));
        s.updateCaptureSize();
        EXPECT_EQ(s.captureWidth(), c.w);
        EXPECT_EQ(s.captureHeight(), c.h);
        EXPECT_EQ(s.captureSizeWasFallback(), c.fallback);
    }
}

TEST(ConfigFile, MissingFileIsCreatedWithTheFourteenDefaultLines)
{
    TempDir dir;
    Settings s;
    const LoadOutcome out = loadSettings(s, dir.file("Tolvek_config.ini"));
    EXPECT_TRUE(out.created);
    EXPECT_FALSE(out.mustExit);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(dir.read("Tolvek_config.ini"), kDefaultFile);
    EXPECT_EQ(s.serialize(), kDefaultFile);
}

TEST(ConfigFile, SaveWritesColumnWidthsAndExactBytes)
{
    TempDir dir;
    Settings s;
    loadSettings(s, dir.file("Tolvek_config.ini"));
    s.setValue(SaveFolder, QStringLiteral("/data/日本"));
    EXPECT_TRUE(saveSettings(s, dir.file("Tolvek_config.ini"), {1, 2, 3, 4, 5}).isEmpty());
    QByteArray expected = kDefaultFile;
    expected.replace("ListAviColumnSizes:120,220,100,500,500", "ListAviColumnSizes:1,2,3,4,5");
    expected.replace("SaveFolder:\r\n", "SaveFolder:/data/\xE6\x97\xA5\xE6\x9C\xAC\r\n");
    EXPECT_EQ(dir.read("Tolvek_config.ini"), expected);
}

TEST(ConfigFile, EncodingsAreDetectedAndLegacyFilesRewrittenAsUtf8)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        QString saveFolder;
        bool rewritten;
    } cases[] = {
        {"utf8",
         "SaveFolder:C:\\V\xC3\xAD"
         "deos\r\n",
         QStringLiteral("C:\\Vídeos"), false},
        {"bom",
         "\xEF\xBB\xBFSaveFolder:C:\\V\xC3\xAD"
         "deos\r\n",
         QStringLiteral("C:\\Vídeos"), false},
        {"legacy",
         "SaveFolder:C:\\V\xED"
         "deos \x80\r\n",
         QStringLiteral("C:\\Vídeos €"), true},
        {"empty", "", QString(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ASSERT_TRUE(dir.write("Tolvek_config.ini", c.bytes));
        Settings s;
        const LoadOutcome out = loadSettings(s, dir.file("Tolvek_config.ini"));
        EXPECT_FALSE(out.mustExit);
        EXPECT_EQ(s.value(SaveFolder), c.saveFolder);
        EXPECT_EQ(out.rewritten, c.rewritten);
        const QByteArray after = dir.read("Tolvek_config.ini");
        if (c.rewritten) {
            EXPECT_EQ(after, s.serialize()); // fourteen lines, UTF-8 without BOM
            EXPECT_FALSE(after.startsWith("\xEF\xBB\xBF"));
        } else {
            EXPECT_EQ(after, c.bytes); // a UTF-8 file is left as it is until the exit
        }
    }
}

TEST(ConfigFile, BrokenSensorDirectionEndsTheProgramAndKeepsTheFile)
{
    for (const char* line : {"Sensor Direction (1-8):12\r\n", "Sensor Direction (1-8):\r\n"}) {
        SCOPED_TRACE(line);
        TempDir dir;
        ASSERT_TRUE(dir.write("Tolvek_config.ini", line));
        Settings s;
        const QString path = dir.file("Tolvek_config.ini");
        const LoadOutcome out = loadSettings(s, path);
        EXPECT_TRUE(out.mustExit);
        ASSERT_EQ(out.messages.size(), 1);
        EXPECT_EQ(out.messages[0],
                  QStringLiteral("LoadCon %1 is destroyed.\r\ndelete the %1 and run Tolvek2.exe.").arg(path));
        EXPECT_EQ(dir.read("Tolvek_config.ini"), QByteArray(line));
    }
}

TEST(ConfigFile, GarbageAndTruncatedFilesLoadWithDefaults)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919 + 13) % 256));
    const QByteArray truncated = kDefaultFile.left(kDefaultFile.indexOf("Camera Number") + 9);
    for (const QByteArray& bytes : {garbage, truncated}) {
        TempDir dir;
        ASSERT_TRUE(dir.write("Tolvek_config.ini", bytes));
        Settings s;
        const LoadOutcome out = loadSettings(s, dir.file("Tolvek_config.ini"));
        EXPECT_FALSE(out.mustExit);
        EXPECT_EQ(s.value(SensorDirection), QStringLiteral("2"));
        EXPECT_EQ(s.value(CameraNumber), QStringLiteral("0"));
    }
}

TEST(ConfigFile, UnwritableFolderFailsTheCheck)
{
    TempDir dir;
    Settings s;
    const QString path = dir.file("missing-folder/Tolvek_config.ini");
    const LoadOutcome out = loadSettings(s, path);
    EXPECT_TRUE(out.mustExit);
    ASSERT_FALSE(out.messages.isEmpty());
    EXPECT_TRUE(out.messages.last().startsWith(QStringLiteral("LoadCon ")));
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(ConfigFile, SaveFailuresAreReportedAndKeepThePreviousFile)
{
    TempDir dir;
    Settings s;
    EXPECT_EQ(saveSettings(s, dir.file("no-such-folder/Tolvek_config.ini")),
              QStringList{QStringLiteral("Cannot open config file for writing.")});

    const QString path = dir.file("Tolvek_config.ini");
    loadSettings(s, path);
    s.setValue(SensorDirection, QStringLiteral("12"));
    const QStringList messages = saveSettings(s, path);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("SaveConfig ")));
    EXPECT_TRUE(dir.read("Tolvek_config.ini").contains("Sensor Direction (1-8):12\r\n"));
}
