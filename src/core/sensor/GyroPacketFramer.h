#pragma once
// The byte protocol of the serial gyro board: the start byte, the 14-byte packet with its four
// big-endian 2.14 fixed-point quaternion components, and the framer that cuts a byte stream into
// packets with the board's one-byte resynchronisation. Pure and single-threaded: no I/O, any
// byte sequence is valid input (what is not a packet is dropped and counted, never an error).

#include "core/sensor/HeadPose.h"

#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <optional>

namespace tolvek {

inline constexpr char GyroStartByte = 0x72; // "r": tells the board to start streaming
inline constexpr int GyroPacketSize = 14;
inline constexpr unsigned char GyroPacketMark0 = 0x24; // "$"
inline constexpr unsigned char GyroPacketMark1 = 0x02;

// One component: u = hi·256 + lo; v = u·2^-14; v ≥ 2 wraps to v − 4. Range −2 to just under 2.
float decodeGyroComponent(unsigned char hi, unsigned char lo);

// The quaternion of a packet: bytes 0 and 1 must be the two marks, bytes 2..9 hold w, x, y, z,
// bytes 10..13 are not examined. Anything but exactly 14 bytes, or wrong marks: nullopt.
std::optional<Quaternion> decodeGyroPacket(QByteArrayView packet);

// Cuts the received stream into packets the way the board's protocol expects: take 14 bytes;
// with both marks in front it is a packet, otherwise the 14 bytes and one more are dropped. Each
// misaligned attempt so moves one byte further through the 14-byte cycle, and a stream entered
// at any point is in step after at most 13 misaligned attempts.
class GyroPacketFramer
{
  public:
    // Feeds bytes in arrival order; calls onSample(const Quaternion&) for each packet found.
    template <class OnSample> void feed(QByteArrayView bytes, OnSample&& onSample)
    {
        for (const char c : bytes) {
            if (std::optional<Quaternion> q = push(static_cast<unsigned char>(c)))
                onSample(*q);
        }
    }

    // The line has been quiet between two bytes for longer than the read interval: a partial
    // packet is dropped, as a short read drops it. A pending skip byte stays pending.
    void lineIdle();

    // Counters for diagnostics and tests.
    std::uint64_t packets() const { return m_packets; }
    std::uint64_t misalignedReads() const { return m_misaligned; }
    int longestMisalignedRun() const { return m_longestRun; }
    std::uint64_t droppedBytes() const { return m_dropped; }
    int pendingBytes() const { return m_fill; }

  private:
    std::optional<Quaternion> push(unsigned char byte);

    std::array<unsigned char, GyroPacketSize> m_buffer{};
    int m_fill = 0;
    bool m_skipNext = false;
    int m_run = 0;
    int m_longestRun = 0;
    std::uint64_t m_packets = 0;
    std::uint64_t m_misaligned = 0;
    std::uint64_t m_dropped = 0;
};

} // namespace tolvek
