#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tolvek;
using tolvek::test::TempDir;

TEST(Storage, FirstStartCreatesFoldersConfigAndFillsSaveFolder)
{
    TempDir dir;
    const QString data = dir.file("deeper/Tolvek");
    Settings s;
    const StorageOutcome out = initStorage(s, data);
    EXPECT_FALSE(out.load.mustExit);
    EXPECT_EQ(out.paths.dataFolder, data + u'/');
    EXPECT_EQ(out.paths.configPath, data + QStringLiteral("/Tolvek_config.ini"));
    EXPECT_TRUE(QFileInfo(data + QStringLiteral("/gazou")).isDir());
    EXPECT_TRUE(QFileInfo::exists(out.paths.configPath));
    EXPECT_EQ(s.value(SaveFolder), data + QStringLiteral("/gazou"));
    // The file keeps the empty value until the exit writes the filled one.
    EXPECT_TRUE(dir.read("deeper/Tolvek/Tolvek_config.ini").contains("SaveFolder:\r\n"));
}

TEST(Storage, ConfiguredSaveFolderIsKeptEvenWhenMissing)
{
    TempDir dir;
    ASSERT_TRUE(dir.write("Tolvek_config.ini", "SaveFolder:/nowhere/videos\r\n"));
    Settings s;
    initStorage(s, dir.path());
    EXPECT_EQ(s.value(SaveFolder), QStringLiteral("/nowhere/videos"));
    EXPECT_TRUE(QFileInfo(dir.file("gazou")).isDir()); // created whether used or not
}

TEST(VideoFileName, MakeAndParse)
{
    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QString name = makeVideoFileName(123, t);
    EXPECT_EQ(name, QStringLiteral("0000012320240305140709.wmv"));
    EXPECT_EQ(name.size(), VideoFileNameLength);
    const VideoNameFields f = parseVideoFileName(name);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.patientId, 123);
    EXPECT_EQ(f.localTime(), t);
    EXPECT_EQ(splitVideoFileName(name), QStringLiteral("00000123 2024-03-05 14:07"));
    EXPECT_EQ(videoDateText(name), QStringLiteral("2024-03-05 14:07"));
    EXPECT_EQ(makeVideoFileName(99999999, t).left(8), QStringLiteral("99999999"));
}

TEST(VideoFileName, Recognition)
{
    const struct
    {
        const char* name;
        bool listed;
    } cases[] = {
        {"0000012320240305140709.wmv", true},       {"0000012320240305140709 (copy).wmv", true},
        {"0000012320240305140709.WMV", true},       {"123_20240305.wmv", false},
        {"000001232024030514070.wmv", false}, // 25 characters
        {"00000123202403051407x9.wmv", false},      {"0000012320240305140709.mp4", false},
        {"0000012320240305140709.wmv.part", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isVideoFileName(QString::fromUtf8(c.name)), c.listed);
    }
    EXPECT_TRUE(isReferenceVideoName(QStringLiteral("9900000020240305140709.wmv")));
    EXPECT_FALSE(isReferenceVideoName(QStringLiteral("0000012320240305140709.wmv")));
}

TEST(VideoFileName, TimeValidity)
{
    EXPECT_TRUE(parseVideoFileName(QStringLiteral("0000012319700101000000.wmv")).timeValid());
    for (const char* bad :
         {"0000012319690101000000.wmv", "0000012320241301000000.wmv", "0000012320240132000000.wmv",
          "0000012320240101240000.wmv", "0000012320240101006000.wmv", "0000012320240101000060.wmv",
          "0000012320240100000000.wmv"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseVideoFileName(QString::fromUtf8(bad)).timeValid());
    }
}

TEST(VideoFileName, FreeNameStepsOverTakenSeconds)
{
    TempDir dir;
    const QDateTime t(QDate(2024, 12, 31), QTime(23, 59, 59));
    ASSERT_TRUE(dir.write("0000012320241231235959.wmv", "x"));
    ASSERT_TRUE(dir.write("0000012320250101000000.wmv", "x"));
    EXPECT_EQ(freeVideoFileName(dir.path(), 123, t), QStringLiteral("0000012320250101000001.wmv"));
    EXPECT_EQ(freeVideoFileName(dir.path(), 124, t), QStringLiteral("0000012420241231235959.wmv"));
    EXPECT_EQ(makeSavePath(QStringLiteral("/v"), QStringLiteral("a.wmv")), QStringLiteral("/v/a.wmv"));
}
