// The main window's sensor link: starting what SensorMode asks for, stopping with a bound,
// switching, and forgetting a link that does not end in time.

#include "core/sensor/SensorLink.h"
#include "core/settings/Settings.h"
#include "support/UdpLoopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include <vector>

using namespace tolvek;
using tolvek::test::UdpPortHolder;
using tolvek::test::waitUntil;

namespace {

constexpr int GenerousWaitMs = 15000;

struct EndReport
{
    SensorKind kind;
    int exitCode;
    SensorLinkEnd reason;
    bool operator==(const EndReport&) const = default;
};

class SensorLinkTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_port = test::freeUdpPort();
        ASSERT_NE(m_port, 0);
        m_link = std::make_unique<SensorLink>(m_head, SensorLinkOptions{&m_settings, m_port});
        QObject::connect(m_link.get(), &SensorLink::linkEnded,
                         [this](SensorKind kind, int exitCode, SensorLinkEnd reason) {
                             m_reports.push_back({kind, exitCode, reason});
                         });
    }

    void TearDown() override { m_link->stop(GenerousWaitMs); }

    void setMode(const char* sensorMode, const char* comPort = "0")
    {
        m_settings.setValue(SensorMode, QString::fromLatin1(sensorMode));
        m_settings.setValue(ComPort, QString::fromLatin1(comPort));
    }

    bool reported(const EndReport& report)
    {
        return waitUntil(
            [&] { return std::find(m_reports.begin(), m_reports.end(), report) != m_reports.end(); });
    }

    Settings m_settings;
    std::shared_ptr<HeadState> m_head = std::make_shared<HeadState>();
    quint16 m_port = 0;
    std::unique_ptr<SensorLink> m_link;
    std::vector<EndReport> m_reports;
};

} // namespace

TEST(SensorKindTest, SensorModeTextChoosesTheLink)
{
    EXPECT_EQ(sensorKindForMode(QStringLiteral("1")), SensorKind::Serial);
    EXPECT_EQ(sensorKindForMode(QStringLiteral("2")), SensorKind::Phone);
    EXPECT_EQ(sensorKindForMode(QStringLiteral("21")), SensorKind::Serial); // "1" is searched first
    EXPECT_EQ(sensorKindForMode(QStringLiteral("0")), SensorKind::None);
    EXPECT_EQ(sensorKindForMode(QString()), SensorKind::None);
}

TEST_F(SensorLinkTest, StartsWhatTheModeAsksForOnlyWhenNoneIsAlive)
{
    setMode("0");
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::NotWanted);
    EXPECT_FALSE(m_link->isAlive());

    setMode("2");
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::Started);
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::AlreadyRunning);
    EXPECT_EQ(m_link->aliveKind(), SensorKind::Phone);
    ASSERT_TRUE(waitUntil([&] { return m_link->current()->listening(); }));

    EXPECT_TRUE(m_link->stop(GenerousWaitMs));
    EXPECT_FALSE(m_link->isAlive());
    EXPECT_EQ(m_link->current(), nullptr);
    EXPECT_TRUE(reported({SensorKind::Phone, 0, SensorLinkEnd::Stopped}));
    EXPECT_TRUE(m_link->stop()); // nothing left to stop
}

TEST_F(SensorLinkTest, ALinkThatEndedByItselfIsReportedAndReplacedByTheNextStart)
{
    setMode("1", "0"); // no serial port chosen
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::Started);
    ASSERT_TRUE(reported({SensorKind::Serial, 0, SensorLinkEnd::NoPort}));
    EXPECT_FALSE(m_link->isAlive());

    setMode("2");
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::Started);
    EXPECT_EQ(m_link->aliveKind(), SensorKind::Phone);
}

TEST_F(SensorLinkTest, PhonePortInUseEndsTheLinkWithItsExitCode)
{
    UdpPortHolder holder(m_port);
    ASSERT_TRUE(holder.holding());
    setMode("2");
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::Started);
    EXPECT_TRUE(reported({SensorKind::Phone, -3, SensorLinkEnd::BindFailed}));
    EXPECT_FALSE(m_link->isAlive());
}

TEST_F(SensorLinkTest, RestartStopsTheOldLinkBeforeStartingTheNewOne)
{
    setMode("2");
    ASSERT_EQ(m_link->start(), SensorLink::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return m_link->current()->listening(); }));

    // Phone again: the old socket is closed before the new one binds, so the new one listens.
    EXPECT_EQ(m_link->restart(GenerousWaitMs), SensorLink::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return m_link->current()->listening() || m_link->current()->isFinished(); }));
    EXPECT_TRUE(m_link->current()->listening());

    setMode("1", "0");
    EXPECT_EQ(m_link->restart(GenerousWaitMs), SensorLink::StartResult::Started);
    ASSERT_TRUE(reported({SensorKind::Serial, 0, SensorLinkEnd::NoPort}));
    UdpPortHolder holder(m_port);
    EXPECT_TRUE(holder.holding()); // the phone link has let go of its port
}

TEST_F(SensorLinkTest, ALinkThatDoesNotEndInTimeIsForgottenAndCleansUpAfterItself)
{
    setMode("2");
    ASSERT_EQ(m_link->start(), SensorLink::StartResult::Started);
    ASSERT_TRUE(waitUntil([&] { return m_link->current()->listening(); }));
    QPointer<GyroLinkThread> thread = m_link->current();

    // No wait at all: the link is inside its receive and cannot have ended.
    EXPECT_FALSE(m_link->stop(0));
    EXPECT_FALSE(m_link->isAlive());
    EXPECT_EQ(m_link->current(), nullptr);
    ASSERT_FALSE(thread.isNull());
    EXPECT_FALSE(thread->runFlag());

    // It ends at its next turn and deletes itself; a forgotten link is not reported.
    EXPECT_TRUE(waitUntil([&] { return thread.isNull(); }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_reports.empty());
    EXPECT_EQ(m_link->start(), SensorLink::StartResult::Started);
}
