// A serial byte stream of any kind, cut into reads at places taken from the input itself, with
// idle gaps between some reads. Every sample must be a finite quaternion within the 2.14 range,
// and the counters must add up.
#include "core/sensor/GyroPacketFramer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek;
    if (size == 0)
        return 0;
    // The first byte steers how the rest is cut into reads.
    const unsigned steer = data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;
    GyroPacketFramer framer;
    std::uint64_t samples = 0;
    std::size_t pos = 0;
    unsigned k = 0;
    while (pos < n) {
        const std::size_t chunk = std::min<std::size_t>(n - pos, 1 + ((steer >> (k % 8)) * 7 + k) % 40);
        framer.feed(QByteArrayView(bytes + pos, qsizetype(chunk)), [&](const Quaternion& q) {
            for (float v : {q.w, q.x, q.y, q.z})
                if (!std::isfinite(v) || v < -2.0f || v >= 2.0f)
                    std::abort();
            ++samples;
        });
        pos += chunk;
        if ((steer >> (k % 8)) & 1)
            framer.lineIdle();
        ++k;
    }
    if (samples != framer.packets() || framer.pendingBytes() < 0 || framer.pendingBytes() >= GyroPacketSize)
        std::abort();
    if (framer.packets() * GyroPacketSize + framer.droppedBytes() + std::uint64_t(framer.pendingBytes()) > n)
        std::abort();
    return 0;
}
