// UDP datagrams of any kind: a parsed quaternion must be finite and within the 3-digit field range.
#include "core/sensor/PhoneDatagram.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek;
    const QByteArrayView datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto q = parsePhoneDatagram(datagram)) {
        if (size < std::size_t(PhoneDatagramFieldsEnd) || data[0] != 'Q' || data[1] != ':')
            std::abort();
        for (float v : {q->w, q->x, q->y, q->z})
            if (!std::isfinite(v))
                std::abort();
    }
    scanPhoneField(datagram.first(std::min<qsizetype>(datagram.size(), 3)));
    return 0;
}
