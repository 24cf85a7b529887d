// The serial link against a real pseudo-terminal board (the PtyGyroBoard helper program).

#include "core/sensor/SerialGyroThread.h"
#include "core/settings/Settings.h"
#include "support/GyroBoardProcess.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tolvek;
using tolvek::test::GyroBoardProcess;
using tolvek::test::waitUntil;

namespace {

// The two packets the board sends, decoded by hand from their bytes.
constexpr Quaternion ExampleSample{1.0f, -1.0f, 1.99993896484375f, -2.0f}; // 40 00 C0 00 7F FF 80 00
constexpr Quaternion FinalSample{0.5f, 0.0f, 0.0f, 0.5f};                  // 20 00 00 00 00 00 20 00

constexpr int EndBoundMs = 15000;

class SerialGyroThreadTest : public ::testing::Test
{
  protected:
    void SetUp() override { m_settings.setValue(SensorMode, QStringLiteral("1")); }

    void TearDown() override
    {
        if (m_link) {
            m_link->requestStop();
            m_link->wait(EndBoundMs);
        }
    }

    SerialGyroThread& startLink(const QString& comPort)
    {
        m_settings.setValue(ComPort, comPort);
        m_link = std::make_unique<SerialGyroThread>(m_head, m_settings);
        m_link->start();
        return *m_link;
    }

    bool ended() { return m_link->wait(EndBoundMs); }

    Settings m_settings;
    std::shared_ptr<HeadState> m_head = std::make_shared<HeadState>();
    std::unique_ptr<SerialGyroThread> m_link;
};

} // namespace

TEST_F(SerialGyroThreadTest, CleanStreamDecodesTheExamplePacketExactly)
{
    GyroBoardProcess board(QStringLiteral("clean"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    m_head->selectDirection(1); // "1+,3-,2+"
    SerialGyroThread& link = startLink(board.slavePath());

    ASSERT_TRUE(waitUntil([&] { return m_head->sensorSample() == ExampleSample; }));
    EXPECT_TRUE(link.listening());
    // Never re-zeroed: reference (0.99, 0, 0, 0) scales the sample; direction 1 gives (w, x, −z, y).
    const HeadPose pose = m_head->headPose();
    EXPECT_FLOAT_EQ(pose.w, 0.99f);
    EXPECT_FLOAT_EQ(pose.x, -0.99f);
    EXPECT_FLOAT_EQ(pose.y, 1.98f);
    EXPECT_FLOAT_EQ(pose.z, 0.99f * 1.99993896484375f);

    link.requestStop();
    ASSERT_TRUE(ended());
    EXPECT_EQ(link.endReason(), SensorLinkEnd::Stopped);
    EXPECT_EQ(link.exitCode(), 0);
    EXPECT_GT(link.stats().samples, 0u);
}

// Each scenario ends with the final packet repeated; once that is the sample, everything before
// it has been read. Whatever the entry point, a misaligned stream is in step within 13 attempts.
TEST_F(SerialGyroThreadTest, DamagedStreamsResynchroniseWithinThirteenMisalignedReads)
{
    struct Case
    {
        const char* scenario;
        std::uint64_t minMisaligned; // what the scenario forces at the least
        int longestRun;              // 0: only the general bound is asserted
    };
    const Case cases[] = {
        {"midpacket", 1, 0},
        {"garbage", 3, 0}, // three garbage bytes: three attempts per insertion
        {"lost", 13, 13},  // one byte lost: the worst case, 13 attempts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        m_head = std::make_shared<HeadState>();
        GyroBoardProcess board(QString::fromLatin1(c.scenario));
        ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
        SerialGyroThread& link = startLink(board.slavePath());

        ASSERT_TRUE(waitUntil([&] { return m_head->sensorSample() == FinalSample; }));
        const GyroLinkStats stats = link.stats();
        EXPECT_GE(stats.misalignedReads, c.minMisaligned);
        EXPECT_LE(stats.longestMisalignedRun, 13);
        if (c.longestRun) {
            EXPECT_EQ(stats.longestMisalignedRun, c.longestRun);
        }
        EXPECT_GT(stats.samples, 0u);

        link.requestStop();
        ASSERT_TRUE(ended());
        EXPECT_EQ(link.endReason(), SensorLinkEnd::Stopped);
        m_link.reset();
    }
}

// A head turning left and right: every sample is a unit turn about the sensor's z axis, and both
// directions come through.
TEST_F(SerialGyroThreadTest, TurningHeadArrivesAsChangingTurnsAboutZ)
{
    GyroBoardProcess board(QStringLiteral("turn"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    startLink(board.slavePath());

    bool left = false, right = false, wellFormed = true;
    ASSERT_TRUE(waitUntil([&] {
        const Quaternion q = m_head->sensorSample();
        if (q == InitialSensorSample)
            return false;
        wellFormed = wellFormed && q.x == 0 && q.y == 0 && std::abs(q.w * q.w + q.z * q.z - 1.0f) < 1e-3f;
        left = left || q.z < -0.2f;
        right = right || q.z > 0.2f;
        return left && right;
    }));
    EXPECT_TRUE(wellFormed);
}

TEST_F(SerialGyroThreadTest, SilentBoardEndsTheLink)
{
    GyroBoardProcess board(QStringLiteral("silent"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    SerialGyroThread& link = startLink(board.slavePath());

    ASSERT_TRUE(ended());
    EXPECT_EQ(link.endReason(), SensorLinkEnd::BoardSilent);
    EXPECT_EQ(m_head->sensorSample(), InitialSensorSample);
    EXPECT_EQ(m_head->headPose(), InitialHeadPose); // the picture keeps its last pose
}

TEST_F(SerialGyroThreadTest, StopDuringTheWaitForTheBoardEndsAsStopped)
{
    GyroBoardProcess board(QStringLiteral("silent"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    SerialGyroThread& link = startLink(board.slavePath());
    // The board prints "started" once the start byte has come: the link is waiting for an answer.
    ASSERT_TRUE(waitUntil([&] {
        board.process().waitForReadyRead(10);
        return board.process().canReadLine();
    }));
    EXPECT_EQ(board.process().readLine().trimmed(), QByteArray("started"));

    link.requestStop();
    ASSERT_TRUE(ended());
    EXPECT_EQ(link.endReason(), SensorLinkEnd::Stopped);
}

TEST_F(SerialGyroThreadTest, UnpluggedBoardEndsTheLinkWithoutACrash)
{
    GyroBoardProcess board(QStringLiteral("unplug"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    SerialGyroThread& link = startLink(board.slavePath());

    ASSERT_TRUE(ended());
    EXPECT_EQ(link.endReason(), SensorLinkEnd::PortLost);
    EXPECT_EQ(m_head->sensorSample(), ExampleSample); // what came before the unplug was used
    EXPECT_TRUE(board.process().waitForFinished(EndBoundMs));
    EXPECT_EQ(board.process().exitCode(), 0);
}

TEST_F(SerialGyroThreadTest, SwitchingTheSensorModeAwayEndsTheReadingLoop)
{
    GyroBoardProcess board(QStringLiteral("clean"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    SerialGyroThread& link = startLink(board.slavePath());
    ASSERT_TRUE(waitUntil([&] { return m_head->sensorSample() == ExampleSample; }));

    m_settings.setValue(SensorMode, QStringLiteral("0"));
    ASSERT_TRUE(ended());
    EXPECT_TRUE(link.runFlag()); // ended by the mode, not by a stop
    EXPECT_EQ(link.endReason(), SensorLinkEnd::ModeChanged);
}

TEST_F(SerialGyroThreadTest, PortsThatCannotBeUsedEndTheLinkAtOnce)
{
    struct Case
    {
        const char* comPort;
        SensorLinkEnd reason;
    };
    const Case cases[] = {
        {"0", SensorLinkEnd::NoPort},
        {"", SensorLinkEnd::NoPort},
        {"255", SensorLinkEnd::NoPort},
        {"/dev/tolvek-no-such-port", SensorLinkEnd::OpenFailed},
        {"ttyTolvekNoSuchPort", SensorLinkEnd::OpenFailed},
        {"/dev/null", SensorLinkEnd::OpenFailed}, // not a terminal: the line settings are refused
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comPort);
        SerialGyroThread& link = startLink(QString::fromLatin1(c.comPort));
        ASSERT_TRUE(ended());
        EXPECT_EQ(link.endReason(), c.reason);
        EXPECT_EQ(link.exitCode(), 0);
        EXPECT_FALSE(link.listening());
        m_link.reset();
    }
    EXPECT_EQ(m_head->headPose(), InitialHeadPose);
}
