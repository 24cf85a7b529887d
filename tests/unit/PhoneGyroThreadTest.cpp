// The phone link against loopback UDP datagrams, and the text of the phone setup box.

#include "core/sensor/PhoneGyroThread.h"
#include "support/ScopedLanguage.h"
#include "support/UdpLoopback.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace tolvek;
using tolvek::test::UdpPortHolder;
using tolvek::test::UdpSender;
using tolvek::test::waitUntil;

namespace {

constexpr int EndBoundMs = 15000;

class PhoneGyroThreadTest : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        for (auto* link : {m_link.get(), m_second.get()}) {
            if (link) {
                link->requestStop();
                link->wait(EndBoundMs);
            }
        }
    }

    // A link on a port of its own, listening before the test sends anything.
    PhoneGyroThread& startListening()
    {
        m_port = test::freeUdpPort();
        EXPECT_NE(m_port, 0);
        m_link = std::make_unique<PhoneGyroThread>(m_head, m_port);
        m_link->start();
        EXPECT_TRUE(waitUntil([&] { return m_link->listening() || m_link->isFinished(); }));
        EXPECT_TRUE(m_link->listening()) << "could not bind port " << m_port;
        return *m_link;
    }

    bool ended(PhoneGyroThread& link) { return link.wait(EndBoundMs); }

    std::shared_ptr<HeadState> m_head = std::make_shared<HeadState>();
    quint16 m_port = 0;
    std::unique_ptr<PhoneGyroThread> m_link;
    std::unique_ptr<PhoneGyroThread> m_second;
};

} // namespace

TEST_F(PhoneGyroThreadTest, ExampleDatagramsDecodeExactly)
{
    PhoneGyroThread& link = startListening();
    UdpSender sender(m_port);
    struct Case
    {
        QByteArray datagram;
        Quaternion sample;
    };
    const Case cases[] = {
        {"Q:256128128128", {1.0f, 0, 0, 0}},
        {"Q:000128128128", {-1.0f, 0, 0, 0}},
        {"Q:128128128200", {0, 0, 0, 0.5625f}},
        {"Q:192064160096" + QByteArray(200, '7'), {0.5f, -0.5f, 0.25f, -0.25f}}, // over-long
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.datagram.left(20).toStdString());
        ASSERT_TRUE(sender.send(c.datagram));
        ASSERT_TRUE(waitUntil([&] { return m_head->sensorSample() == c.sample; }));
    }
    // The published pose is the mapped sample: reference (0.99, 0, 0, 0), direction 2 by default.
    const HeadPose pose = m_head->headPose();
    EXPECT_FLOAT_EQ(pose.w, 0.495f);
    EXPECT_FLOAT_EQ(pose.x, 0.2475f);
    EXPECT_FLOAT_EQ(pose.y, 0.2475f);
    EXPECT_FLOAT_EQ(pose.z, 0.495f);
    EXPECT_EQ(link.stats().ignoredDatagrams, 0u);
}

TEST_F(PhoneGyroThreadTest, MalformedDatagramsAreIgnored)
{
    PhoneGyroThread& link = startListening();
    UdpSender sender(m_port);
    const QByteArray valid = "Q:200200200200";
    const Quaternion validSample{0.5625f, 0.5625f, 0.5625f, 0.5625f};
    ASSERT_TRUE(sender.send(valid));
    ASSERT_TRUE(waitUntil([&] { return link.stats().datagrams == 1; }));

    // A short datagram after a full one must not pick up the earlier datagram's bytes.
    const QByteArray malformed[] = {
        "q:256128128128",
        "Q;256128128128",
        "Q:256",
        "Q:256128128",
        "Q:",
        "Q",
        "Q:abc128128128",
        "Q:128128128xyz",
        "Q:+ 1128128128",
        "Hello phone",
        QByteArray(1000, 'Q'),
        QByteArray("\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 14),
    };
    for (const QByteArray& d : malformed)
        ASSERT_TRUE(sender.send(d));
    const std::uint64_t total = 1 + std::size(malformed);
    ASSERT_TRUE(waitUntil([&] { return link.stats().datagrams == total; }));
    EXPECT_EQ(link.stats().ignoredDatagrams, std::size(malformed));
    EXPECT_EQ(link.stats().samples, 1u);
    EXPECT_EQ(m_head->sensorSample(), validSample);
}

TEST_F(PhoneGyroThreadTest, ABurstDoesNotStallTheLinkAndAStopStillEndsIt)
{
    PhoneGyroThread& link = startListening();
    UdpSender sender(m_port);
    for (int i = 0; i < 4000; ++i) {
        const QByteArray valid = "Q:" + QByteArray::number(100 + i % 50) + "128128128";
        // The system may drop some of a flood; that is what UDP does.
        sender.send(i % 3 == 2 ? QByteArray("q:000000000000") : valid);
    }
    // The link catches up with the newest datagram: keep offering it until it arrives.
    const QByteArray last = "Q:128128128256";
    const Quaternion lastSample{0, 0, 0, 1.0f};
    bool seen = false;
    for (int attempt = 0; attempt < 100 && !seen; ++attempt) {
        sender.send(last);
        seen =
            waitUntil([&] { return m_head->sensorSample() == lastSample; }, std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(seen);
    const GyroLinkStats stats = link.stats();
    // Every third datagram of the burst is malformed: refused, never decoded.
    EXPECT_GT(stats.ignoredDatagrams, 0u);
    EXPECT_LE(stats.ignoredDatagrams, 1333u);
    EXPECT_GT(stats.samples, 0u);
    EXPECT_EQ(stats.samples + stats.ignoredDatagrams, stats.datagrams);

    link.requestStop();
    ASSERT_TRUE(ended(link));
    EXPECT_EQ(link.exitCode(), PhoneExitNormal);
    EXPECT_EQ(link.endReason(), SensorLinkEnd::Stopped);
}

TEST_F(PhoneGyroThreadTest, StopTakesEffectWhileThePhoneIsSilent)
{
    PhoneGyroThread& link = startListening();
    link.requestStop();
    ASSERT_TRUE(ended(link)); // the receive has a time-out: no datagram is needed to end
    EXPECT_EQ(link.exitCode(), PhoneExitNormal);
    EXPECT_EQ(link.endReason(), SensorLinkEnd::Stopped);
    EXPECT_FALSE(link.listening());
}

TEST_F(PhoneGyroThreadTest, PortInUseEndsTheNewLinkSilentlyAndTheOldOneRuns)
{
    PhoneGyroThread& first = startListening();
    m_second = std::make_unique<PhoneGyroThread>(m_head, m_port);
    m_second->start();
    ASSERT_TRUE(ended(*m_second));
    EXPECT_EQ(m_second->exitCode(), PhoneExitBindFailed);
    EXPECT_EQ(m_second->endReason(), SensorLinkEnd::BindFailed);
    EXPECT_EQ(phoneLinkFailureText(m_second->exitCode()), QString()); // nothing is shown

    // The first link still owns the port and still decodes.
    UdpSender sender(m_port);
    ASSERT_TRUE(sender.send("Q:256128128128"));
    ASSERT_TRUE(waitUntil([&] { return m_head->sensorSample() == Quaternion{1.0f, 0, 0, 0}; }));
    EXPECT_TRUE(first.listening());
    first.requestStop();
    ASSERT_TRUE(ended(first));
    EXPECT_EQ(first.endReason(), SensorLinkEnd::Stopped);

    // A port held by another program fails the same way.
    const quint16 held = test::freeUdpPort();
    UdpPortHolder holder(held);
    ASSERT_TRUE(holder.holding());
    PhoneGyroThread third(m_head, held);
    third.start();
    ASSERT_TRUE(ended(third));
    EXPECT_EQ(third.exitCode(), PhoneExitBindFailed);
}

TEST_F(PhoneGyroThreadTest, DefaultLinkListensOnPort1108)
{
    {
        UdpPortHolder probe(PhoneGyroPort);
        if (!probe.holding())
            GTEST_SKIP() << "UDP port 1108 is in use on this machine";
    }
    PhoneGyroThread link(m_head);
    link.start();
    ASSERT_TRUE(waitUntil([&] { return link.listening() || link.isFinished(); }));
    if (!link.listening())
        GTEST_SKIP() << "UDP port 1108 was taken meanwhile";
    UdpSender sender(PhoneGyroPort);
    ASSERT_TRUE(sender.send("Q:000128128128"));
    EXPECT_TRUE(waitUntil([&] { return m_head->sensorSample() == Quaternion{-1.0f, 0, 0, 0}; }));
    link.requestStop();
    ASSERT_TRUE(ended(link));
}

TEST(PhoneSetupTest, ListsIPv4AddressesWithoutAny127)
{
    const test::ScopedLanguage english(English);
    const QList<QHostAddress> addresses{
        QHostAddress(QStringLiteral("127.0.0.1")),  QHostAddress(QStringLiteral("192.168.1.20")),
        QHostAddress(QStringLiteral("::1")),        QHostAddress(QStringLiteral("fe80::1")),
        QHostAddress(QStringLiteral("10.0.0.5")),   QHostAddress(QStringLiteral("192.168.1.127")),
        QHostAddress(QStringLiteral("10.127.3.4")),
    };
    EXPECT_EQ(phoneSetupLines(addresses), (QStringList{
                                              "Set your phone as follows.",
                                              "",
                                              "IP address : 192.168.1.20",
                                              "IP address : 10.0.0.5",
                                              "",
                                              "Port number : 1108",
                                          }));
    EXPECT_EQ(phoneSetupLines({}), (QStringList{"Set your phone as follows.", "", "", "Port number : 1108"}));
    EXPECT_EQ(phoneLinkFailureText(PhoneExitNoSocket), QStringLiteral("Socket creation failed"));
    EXPECT_EQ(phoneLinkFailureText(PhoneExitNormal), QString());
}
