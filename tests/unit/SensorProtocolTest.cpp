// The serial packet framer and the phone datagram parser, byte for byte.

#include "core/sensor/GyroPacketFramer.h"
#include "core/sensor/PhoneDatagram.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <vector>

using namespace tolvek;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray packet(int w, int x, int y, int z)
{
    QByteArray p = bytes({0x24, 0x02});
    for (int v : {w, x, y, z})
        p.append(bytes({(v >> 8) & 0xFF, v & 0xFF}));
    return p + bytes({0x00, 0x00, 0x0D, 0x0A});
}

std::vector<Quaternion> feedAll(GyroPacketFramer& framer, const QByteArray& data)
{
    std::vector<Quaternion> out;
    framer.feed(data, [&](const Quaternion& q) { out.push_back(q); });
    return out;
}

const QByteArray Forward = packet(0x4000, 0, 0, 0);               // (1, 0, 0, 0)
const QByteArray Tilted = packet(0x2000, 0xF000, 0x1000, 0x3FFF); // (0.5, −0.25, 0.25, 0.99994)
constexpr Quaternion TiltedSample{0.5f, -0.25f, 0.25f, 16383.0f / 16384.0f};

} // namespace

TEST(GyroPacketTest, ComponentsDecodeAsSignedTwoFourteenFixedPoint)
{
    struct Case
    {
        int hi, lo;
        float expected;
    };
    const Case cases[] = {
        {0x40, 0x00, 1.0f},
        {0xC0, 0x00, -1.0f},
        {0x7F, 0xFF, 1.99993896484375f},
        {0x80, 0x00, -2.0f},
        {0x00, 0x00, 0.0f},
        {0xFF, 0xFF, -1.0f / 16384.0f},
        {0x00, 0x01, 1.0f / 16384.0f},
        {0x20, 0x00, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.hi << ' ' << c.lo);
        EXPECT_EQ(decodeGyroComponent(static_cast<unsigned char>(c.hi), static_cast<unsigned char>(c.lo)),
                  c.expected);
    }
}

TEST(GyroPacketTest, PacketsNeedBothMarksAndExactlyFourteenBytes)
{
    const QByteArray example = bytes({0x24, 0x02, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0D, 0x0A});
    EXPECT_EQ(decodeGyroPacket(example), (Quaternion{1.0f, 0, 0, 0}));
    // Bytes 10..13 are not examined.
    QByteArray otherTail = example;
    otherTail[10] = '\xAA', otherTail[13] = '\x55';
    EXPECT_EQ(decodeGyroPacket(otherTail), (Quaternion{1.0f, 0, 0, 0}));

    QByteArray wrongMark = example;
    wrongMark[1] = '\x03';
    EXPECT_FALSE(decodeGyroPacket(wrongMark));
    wrongMark = example;
    wrongMark[0] = 'r';
    EXPECT_FALSE(decodeGyroPacket(wrongMark));
    EXPECT_FALSE(decodeGyroPacket(example.left(13)));
    EXPECT_FALSE(decodeGyroPacket(example + '\0'));
    EXPECT_EQ(decodeGyroPacket(Tilted), TiltedSample);
}

// Whatever byte of the cycle the stream is entered at, the framer is in step after 14 − offset
// misaligned attempts, at most 13, and then decodes every packet.
TEST(GyroPacketFramerTest, StreamEnteredAtAnyOffsetIsInStepWithinThirteenMisalignedReads)
{
    QByteArray stream;
    for (int i = 0; i < 40; ++i)
        stream += Tilted;
    for (int offset = 0; offset < GyroPacketSize; ++offset) {
        SCOPED_TRACE(offset);
        GyroPacketFramer framer;
        const std::vector<Quaternion> samples = feedAll(framer, stream.mid(offset));
        const int expectedMisaligned = (GyroPacketSize - offset) % GyroPacketSize;
        EXPECT_EQ(framer.misalignedReads(), static_cast<std::uint64_t>(expectedMisaligned));
        EXPECT_EQ(framer.longestMisalignedRun(), expectedMisaligned);
        ASSERT_FALSE(samples.empty());
        for (const Quaternion& q : samples)
            EXPECT_EQ(q, TiltedSample);
        // 15 bytes per misaligned attempt, the rest whole packets.
        const int usable = stream.size() - offset - 15 * expectedMisaligned;
        EXPECT_EQ(samples.size(), static_cast<std::size_t>(usable / GyroPacketSize));
    }
}

TEST(GyroPacketFramerTest, GarbageAndLostBytesCostAtMostThirteenAttempts)
{
    struct Case
    {
        const char* name;
        QByteArray damage; // between two runs of good packets
        int misaligned;
        std::size_t lostPackets; // good packets swallowed by the misaligned attempts
    };
    const QByteArray lostMark = Forward.left(1) + Forward.mid(2); // the 0x02 is lost
    const QByteArray lostData = Forward.left(7) + Forward.mid(8); // a data byte is lost
    const Case cases[] = {
        {"one garbage byte", bytes({0x55}), 1, 1},
        {"dollar without mark", bytes({0x24, 0xFF, 0x13}), 3, 3},
        {"mark pair split by garbage", bytes({0x24, 0x24, 0x02}), 3, 3},
        {"packet with its mark lost", lostMark, 13, 13},
        // A lost data byte leaves the marks in front: that packet is taken with shifted data.
        {"packet with a data byte lost", lostData, 13, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray before, after;
        for (int i = 0; i < 5; ++i)
            before += Forward;
        for (int i = 0; i < 30; ++i)
            after += Tilted;
        GyroPacketFramer framer;
        const std::vector<Quaternion> samples = feedAll(framer, before + c.damage + after);
        EXPECT_EQ(framer.longestMisalignedRun(), c.misaligned);
        ASSERT_GE(samples.size(), 5u);
        for (std::size_t i = 0; i < 5; ++i)
            EXPECT_EQ(samples[i], (Quaternion{1, 0, 0, 0}));
        EXPECT_EQ(samples.back(), TiltedSample);
        const std::size_t tilted =
            static_cast<std::size_t>(std::count(samples.begin(), samples.end(), TiltedSample));
        EXPECT_EQ(tilted, 30 - c.lostPackets);
    }
}

TEST(GyroPacketFramerTest, ChunkingDoesNotChangeTheResult)
{
    QByteArray stream = bytes({0x11, 0x24, 0x02, 0x33});
    for (int i = 0; i < 10; ++i)
        stream += (i % 2 ? Forward : Tilted);
    GyroPacketFramer whole;
    const std::vector<Quaternion> expected = feedAll(whole, stream);
    for (int chunk : {1, 3, 13, 14, 15, 29}) {
        SCOPED_TRACE(chunk);
        GyroPacketFramer framer;
        std::vector<Quaternion> got;
        for (int pos = 0; pos < stream.size(); pos += chunk) {
            const std::vector<Quaternion> part = feedAll(framer, stream.mid(pos, chunk));
            got.insert(got.end(), part.begin(), part.end());
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(framer.misalignedReads(), whole.misalignedReads());
    }
}

TEST(GyroPacketFramerTest, AQuietLineDropsThePartialPacket)
{
    GyroPacketFramer framer;
    EXPECT_TRUE(feedAll(framer, Forward.left(9)).empty());
    EXPECT_EQ(framer.pendingBytes(), 9);
    framer.lineIdle();
    EXPECT_EQ(framer.pendingBytes(), 0);
    EXPECT_EQ(framer.droppedBytes(), 9u);
    // The next packet is read from its first byte, not glued to the dropped part.
    EXPECT_EQ(feedAll(framer, Tilted), std::vector<Quaternion>{TiltedSample});
    EXPECT_EQ(framer.misalignedReads(), 0u);
}

// ---- Phone datagrams --------------------------------------------------------------------------

TEST(PhoneDatagramTest, FieldsScanLikeDecimalConversion)
{
    struct Case
    {
        const char* field;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"128", 128},
        {" 12", 12},
        {"+12", 12},
        {"-12", -12},
        {"007", 7},
        {"1a2", 1},
        {"  5", 5},
        {"\t\n9", 9},
        {"abc", std::nullopt},
        {"   ", std::nullopt},
        {"+ 1", std::nullopt},
        {"-", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(scanPhoneField(QByteArrayView(c.field)), c.expected);
    }
    // A zero byte ends the field as it ends a C string.
    EXPECT_EQ(scanPhoneField(QByteArrayView("1\0"
                                            "5",
                                            3)),
              1);
    EXPECT_EQ(scanPhoneField(QByteArrayView(" \0"
                                            "5",
                                            3)),
              std::nullopt);
}

TEST(PhoneDatagramTest, DatagramsDecodeOrAreRefused)
{
    struct Case
    {
        QByteArray datagram;
        std::optional<Quaternion> expected;
    };
    const QByteArray tail = QByteArray(100, 'x');
    const Case cases[] = {
        {"Q:256128128128", Quaternion{1.0f, 0, 0, 0}},
        {"Q:000128128128", Quaternion{-1.0f, 0, 0, 0}},
        {"Q:128128128200", Quaternion{0, 0, 0, 0.5625f}},
        {"Q:192064160096\r\n", Quaternion{0.5f, -0.5f, 0.25f, -0.25f}},
        {"Q:256128128128" + tail, Quaternion{1.0f, 0, 0, 0}}, // over-long: bytes 14 on ignored
        {"Q: 12+12-12999", Quaternion{-116.0f / 128, -116.0f / 128, -140.0f / 128, 871.0f / 128}},
        {"q:256128128128", std::nullopt},
        {"Q;256128128128", std::nullopt},
        {"Q:256128", std::nullopt},      // short: the missing fields are not made up
        {"Q:25612812812", std::nullopt}, // one byte short
        {"Q:", std::nullopt},
        {"", std::nullopt},
        {"Q:abc128128128", std::nullopt}, // a field that is not a number
        {"Q:128128128   ", std::nullopt},
        {QByteArray("Q:\0\0\0"
                    "128128128",
                    14),
         std::nullopt},
        {tail, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.datagram.toStdString());
        EXPECT_EQ(parsePhoneDatagram(c.datagram), c.expected);
    }
}

TEST(PhoneDatagramTest, OnlyTheFirstSixtyThreeBytesCount)
{
    // The fields lie within the bytes read however long the datagram is, so the cut never
    // changes a result; a datagram cut to 63 bytes reads like the full one.
    const QByteArray big = "Q:200100050250" + QByteArray(5000, '9');
    EXPECT_EQ(parsePhoneDatagram(big), parsePhoneDatagram(big.left(PhoneDatagramReadSize)));
    EXPECT_EQ(parsePhoneDatagram(big), (Quaternion{72.0f / 128, -28.0f / 128, -78.0f / 128, 122.0f / 128}));
}
