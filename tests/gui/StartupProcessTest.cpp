// Starts the real program as separate processes to check the one-copy rule and the options
// that only print.
#include "TolvekVersion.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

using tolvek::test::TempDir;

namespace {

class StartupProcessTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        QDir().mkpath(dir.file("rt"));
        QFile::setPermissions(dir.file("rt"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TOLVEK_DATA_DIR", dir.file("data"));
        env.insert("XDG_RUNTIME_DIR", dir.file("rt"));
        env.insert("XDG_CONFIG_HOME", dir.file("cfg"));
        env.insert("TOLVEK_CAMERA", "");
        env.insert("QT_LOGGING_RULES", "tolvek.startup.info=true");
    }
    void TearDown() override
    {
        for (QProcess* p : running) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
    }
    QProcess* start(const QStringList& args)
    {
        auto* p = new QProcess;
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QStringLiteral(TOLVEK_BINARY_DIR "/tolvek"), args);
        EXPECT_TRUE(p->waitForStarted(10000));
        running.push_back(p);
        return p;
    }
    // Waits until the first copy has set itself up (lock and configuration in place).
    bool waitForFile(const QString& path)
    {
        for (int i = 0; i < 200 && !QFileInfo::exists(path); ++i)
            QThread::msleep(50);
        return QFileInfo::exists(path);
    }

    TempDir dir;
    QProcessEnvironment env;
    std::vector<QProcess*> running;
};

} // namespace

TEST_F(StartupProcessTest, SecondCopyRaisesTheFirstAndEndsWithoutReadingTheConfiguration)
{
    QProcess* first = start({});
    ASSERT_TRUE(waitForFile(dir.file("data/Tolvek_config.ini")));
    ASSERT_TRUE(waitForFile(dir.file("rt/Tolvek2_SingleInstance.lock")));
    QThread::msleep(300); // let the first copy's event loop start listening
    ASSERT_TRUE(QFile::remove(dir.file("data/Tolvek_config.ini")));

    QProcess* second = start({});
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardError().contains("raised: true"));
    EXPECT_FALSE(QFileInfo::exists(dir.file("data/Tolvek_config.ini"))); // no second load
    EXPECT_EQ(first->state(), QProcess::Running);

    // The first copy saw the request.
    bool raised = false;
    for (int i = 0; i < 100 && !raised; ++i) {
        first->waitForReadyRead(100);
        raised = first->readAllStandardError().contains("raising the window");
    }
    EXPECT_TRUE(raised);

    QProcess* beside = start({QStringLiteral("/restart")});
    EXPECT_FALSE(beside->waitForFinished(1500)); // still running beside the first
    EXPECT_EQ(beside->state(), QProcess::Running);
}

TEST_F(StartupProcessTest, HelpAndVersionPrintWithoutDisplayWindowOrFiles)
{
    // No display at all: opening a window would end the program with Qt's display error.
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    const struct
    {
        QStringList args;
        const char* printed;
    } cases[] = {
        {{"--version"}, "Tolvek " TOLVEK_VERSION "\n"},
        {{"--help"}, "Usage: tolvek [options] [/restart]"},
        {{"/restart", "--camera", "sim", "-h"}, "--camera <SOURCE>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QProcess* p = start(c.args);
        ASSERT_TRUE(p->waitForFinished(15000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        const QByteArray out = p->readAllStandardOutput();
        EXPECT_TRUE(out.contains(c.printed)) << out.toStdString();
    }
    // Nothing was made: no data folder (so no configuration), no profile, no lock.
    EXPECT_FALSE(QFileInfo::exists(dir.file("data")));
    EXPECT_FALSE(QFileInfo::exists(dir.file("cfg")));
    EXPECT_EQ(QDir(dir.file("rt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

TEST_F(StartupProcessTest, AnUnknownOptionIsRefusedBeforeAnythingIsMade)
{
    QProcess* p = start({QStringLiteral("--no-such-option")});
    ASSERT_TRUE(p->waitForFinished(15000));
    EXPECT_EQ(p->exitCode(), 2);
    EXPECT_TRUE(p->readAllStandardError().contains("no-such-option"));
    EXPECT_FALSE(QFileInfo::exists(dir.file("data")));
}
