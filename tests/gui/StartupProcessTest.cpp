// Starts the real program as separate processes to check the one-copy rule.
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
