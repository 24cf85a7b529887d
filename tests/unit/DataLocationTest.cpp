// Where the data folder is: $TOLVEK_DATA_DIR, else the administrator's system-wide folder, else
// the user's own.
#include "core/platform/DataLocation.h"
#include "core/settings/Storage.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tolvek;
using tolvek::test::TempDir;

namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnv
{
  public:
    ~ScopedEnv()
    {
        for (auto it = m_old.rbegin(); it != m_old.rend(); ++it) {
            if (it->second.isNull())
                qunsetenv(it->first.constData());
            else
                qputenv(it->first.constData(), it->second);
        }
    }
    void set(const char* name, const QString& value)
    {
        m_old.emplace_back(name, qgetenv(name));
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }

  private:
    std::vector<std::pair<QByteArray, QByteArray>> m_old;
};

// Two system configuration folders, as in XDG_CONFIG_DIRS=first:second, and a user's own data
// location.
class DataLocationTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        env.set("XDG_CONFIG_DIRS", dir.file("first") + u':' + dir.file("second"));
        env.set("XDG_DATA_HOME", dir.file("home-data"));
        env.set("TOLVEK_DATA_DIR", QString());
    }
    void writeSystemConf(const char* folder, const QByteArray& text)
    {
        QDir().mkpath(dir.file(QString::fromLatin1(folder) + QStringLiteral("/Tolvek")));
        ASSERT_TRUE(dir.write(QString::fromLatin1(folder) + QStringLiteral("/Tolvek/system.conf"), text));
    }
    TempDir dir;
    ScopedEnv env;
};

} // namespace

TEST_F(DataLocationTest, TheAdministratorsFolderComesBetweenTheVariableAndTheUsersOwn)
{
    const QString own = dir.file("home-data/Tolvek/");
    const struct
    {
        const char* what;
        const char* variable; // TOLVEK_DATA_DIR, null for unset
        const char* first;    // first/Tolvek/system.conf, null for none
        const char* second;   // second/Tolvek/system.conf, null for none
        QString expected;
    } cases[] = {
        {"no choice anywhere", nullptr, nullptr, nullptr, own},
        {"the administrator's folder", nullptr, "DataFolder=/srv/tolvek\n", nullptr, "/srv/tolvek/"},
        {"the variable wins", "/portable/data", "DataFolder=/srv/tolvek\n", nullptr, "/portable/data/"},
        {"comments, sections, blanks, spaces and CRLF", nullptr,
         "# the clinic's shared folder\r\n; old style comment\r\n[General]\r\n\r\n"
         "  DataFolder  =  /srv/eye videos, ENT  \r\nOther=1\r\n",
         nullptr, "/srv/eye videos, ENT/"},
        {"a trailing slash and dots are tidied", nullptr, "DataFolder=/srv/./tolvek//\n", nullptr,
         "/srv/tolvek/"},
        {"a relative folder is ignored", nullptr, "DataFolder=tolvek\n", "DataFolder=/srv/second\n", own},
        {"an empty value keeps each user's own", nullptr, "DataFolder=\n", "DataFolder=/srv/second\n", own},
        {"a file without the line passes to the next", nullptr, "# nothing chosen\n",
         "DataFolder=/srv/second\n", "/srv/second/"},
        {"the first folder ranks highest", nullptr, "DataFolder=/srv/first\n", "DataFolder=/srv/second\n",
         "/srv/first/"},
        {"only the second folder has one", nullptr, nullptr, "DataFolder=/srv/second\n", "/srv/second/"},
        {"a key that only looks alike", nullptr, "DataFolders=/srv/x\nXDataFolder=/srv/y\n", nullptr, own},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.file("first")).removeRecursively();
        QDir(dir.file("second")).removeRecursively();
        if (c.first)
            writeSystemConf("first", c.first);
        if (c.second)
            writeSystemConf("second", c.second);
        qputenv("TOLVEK_DATA_DIR", c.variable ? QByteArray(c.variable) : QByteArray());
        EXPECT_EQ(platform::dataFolder(), c.expected);
    }
}

TEST_F(DataLocationTest, TwoLoginsShareTheAdministratorsFolder)
{
    writeSystemConf("first", "DataFolder=" + QFile::encodeName(dir.file("shared")) + "\n");

    Settings first;
    env.set("XDG_DATA_HOME", dir.file("anna/.local/share"));
    const StorageOutcome anna = initStorage(first);
    ASSERT_FALSE(anna.load.mustExit);
    EXPECT_EQ(anna.paths.dataFolder, dir.file("shared/"));
    first.setValue(IdHistory, QStringLiteral("00004711"));
    ASSERT_TRUE(saveSettings(first, anna.paths.configPath).isEmpty());

    // Another login finds the same configuration and the same save folder.
    Settings second;
    env.set("XDG_DATA_HOME", dir.file("ben/.local/share"));
    const StorageOutcome ben = initStorage(second);
    ASSERT_FALSE(ben.load.mustExit);
    EXPECT_EQ(ben.paths.configPath, anna.paths.configPath);
    EXPECT_EQ(second.value(IdHistory), QStringLiteral("00004711"));
    EXPECT_EQ(second.value(SaveFolder), dir.file("shared/gazou"));
    EXPECT_FALSE(QFileInfo::exists(dir.file("anna/.local/share/Tolvek")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("ben/.local/share/Tolvek")));
}
