// Deleting a video from the all-videos list of a real main window on accounts whose trash does not
// exist yet: the user's trash is made where file managers look for it, the video arrives there with
// its trash record, and when no trash can be made the video stays and the user is told. The
// program's current folder never receives anything.

#include "core/i18n/MenuCaptions.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace tolvek;
using namespace tolvek::test;

namespace {

// Sets an environment variable (or unsets it for a null value) and puts back the old value.
class EnvValue
{
  public:
    EnvValue(const char* name, const QString& value) : m_name(name), m_before(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }
    ~EnvValue()
    {
        if (m_before.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_before);
    }

  private:
    const char* m_name;
    QByteArray m_before;
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class TrashTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dir.file("cwd")));
        m_cwdBefore = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.file("cwd")));

        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
        openWindow();
        window->setWindowMode(ModeListAll);
    }

    void TearDown() override
    {
        MainWindowFixture::TearDown();
        QDir::setCurrent(m_cwdBefore);
    }

  private:
    QString m_cwdBefore;
};

} // namespace

TEST_F(TrashTest, TheUsersTrashIsMadeWhenMissingAndADeleteArrivesThere)
{
    ASSERT_TRUE(QDir().mkpath(dir.file("home")));
    ASSERT_TRUE(dir.write("not a folder", "x"));
    struct Case
    {
        const char* what;
        QString xdgDataHome; // null: unset
        QString trash;       // where the video must arrive; empty: nowhere, it must stay
    };
    const Case cases[] = {
        {"XDG_DATA_HOME names a folder that does not exist", dir.file("gone/share"),
         dir.file("gone/share/Trash")},
        {"no XDG_DATA_HOME and no ~/.local/share", QString(), dir.file("home/.local/share/Trash")},
        {"a trash that cannot be made", dir.file("not a folder/share"), QString()},
    };
    const EnvValue home("HOME", dir.file("home"));
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EnvValue xdg("XDG_DATA_HOME", c.xdgDataHome);
        const QString name = QStringLiteral("0000012320240305%1.wmv").arg(100000 + ++n);
        const QString path = folder + u'/' + name;
        ASSERT_FALSE(makeTestWmv(path, 5).isEmpty());
        window->lists().reload();
        prompts.messages.clear();
        prompts.answers = {true};
        window->state().allListPendingName = name;
        window->executeCommand(CmdDeleteAllListVideo);

        if (c.trash.isEmpty()) {
            EXPECT_TRUE(QFileInfo::exists(path));
            EXPECT_EQ(prompts.messages, QStringList{path + QStringLiteral(" can't be deleted.")});
        } else {
            EXPECT_FALSE(QFileInfo::exists(path));
            EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'|').toStdString();
            EXPECT_TRUE(QFileInfo(c.trash + QStringLiteral("/files/") + name).isFile());
            QFile info(c.trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
            ASSERT_TRUE(info.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = info.readAll().split('\n');
            ASSERT_GE(lines.size(), 3);
            EXPECT_EQ(lines[0], QByteArray("[Trash Info]"));
            EXPECT_EQ(lines[1], "Path=" + QUrl::toPercentEncoding(path, "/"));
            EXPECT_TRUE(lines[2].startsWith("DeletionDate=")) << lines[2].toStdString();
        }
        // A row goes only with its file: a refused video stays listed, with its record.
        bool recorded = false;
        for (const VideoRecord& r : window->lists().library())
            recorded = recorded || r.fileName == name;
        EXPECT_EQ(column(window->lists().allList(), AllFileColumn).contains(name), c.trash.isEmpty());
        EXPECT_EQ(recorded, c.trash.isEmpty());
        // Nothing lands in the folder the program was started from.
        EXPECT_TRUE(entries(dir.file("cwd")).isEmpty()) << entries(dir.file("cwd")).join(u' ').toStdString();
    }
    EXPECT_EQ(entries(dir.file("not a folder")), QStringList());
}
