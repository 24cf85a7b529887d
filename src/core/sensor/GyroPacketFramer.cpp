#include "core/sensor/GyroPacketFramer.h"

#include <algorithm>

namespace tolvek {

float decodeGyroComponent(unsigned char hi, unsigned char lo)
{
    const unsigned u = static_cast<unsigned>(hi) * 256u + lo;
    // 2^-14 is exact in single precision, so every step decodes without rounding.
    float v = static_cast<float>(u) * (1.0f / 16384.0f);
    if (v >= 2.0f)
        v -= 4.0f;
    return v;
}

std::optional<Quaternion> decodeGyroPacket(QByteArrayView packet)
{
    if (packet.size() != GyroPacketSize)
        return std::nullopt;
    const auto* b = reinterpret_cast<const unsigned char*>(packet.data());
    if (b[0] != GyroPacketMark0 || b[1] != GyroPacketMark1)
        return std::nullopt;
    return Quaternion{decodeGyroComponent(b[2], b[3]), decodeGyroComponent(b[4], b[5]),
                      decodeGyroComponent(b[6], b[7]), decodeGyroComponent(b[8], b[9])};
}

void GyroPacketFramer::lineIdle()
{
    m_dropped += static_cast<std::uint64_t>(m_fill);
    m_fill = 0;
}

std::optional<Quaternion> GyroPacketFramer::push(unsigned char byte)
{
    if (m_skipNext) {
        m_skipNext = false;
        ++m_dropped;
        return std::nullopt;
    }
    m_buffer[static_cast<std::size_t>(m_fill++)] = byte;
    if (m_fill < GyroPacketSize)
        return std::nullopt;
    m_fill = 0;
    const QByteArrayView packet(reinterpret_cast<const char*>(m_buffer.data()), GyroPacketSize);
    if (std::optional<Quaternion> q = decodeGyroPacket(packet)) {
        ++m_packets;
        m_run = 0;
        return q;
    }
    // Dropping one byte more than a packet shifts the next attempt by one position.
    ++m_misaligned;
    m_longestRun = std::max(m_longestRun, ++m_run);
    m_dropped += GyroPacketSize;
    m_skipNext = true;
    return std::nullopt;
}

} // namespace tolvek
