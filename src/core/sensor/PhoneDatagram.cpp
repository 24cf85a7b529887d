#include "core/sensor/PhoneDatagram.h"

namespace tolvek {

namespace {

bool isScanSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<int> scanPhoneField(QByteArrayView field)
{
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && isScanSpace(field[i]))
        ++i;
    bool negative = false;
    if (i < n && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    const qsizetype digitsStart = i;
    int value = 0;
    // A field is at most three characters, so the value cannot overflow.
    while (i < n && field[i] >= '0' && field[i] <= '9') {
        value = value * 10 + (field[i] - '0');
        ++i;
    }
    if (i == digitsStart)
        return std::nullopt;
    return negative ? -value : value;
}

float decodePhoneComponent(int n)
{
    return static_cast<float>(n - 128) * (1.0f / 128.0f);
}

std::optional<Quaternion> parsePhoneDatagram(QByteArrayView datagram)
{
    if (datagram.size() > PhoneDatagramReadSize)
        datagram = datagram.first(PhoneDatagramReadSize);
    if (datagram.size() < PhoneDatagramFieldsEnd || datagram[0] != 'Q' || datagram[1] != ':')
        return std::nullopt;
    float c[4];
    for (int k = 0; k < 4; ++k) {
        const std::optional<int> n = scanPhoneField(datagram.sliced(2 + 3 * k, 3));
        if (!n)
            return std::nullopt;
        c[k] = decodePhoneComponent(*n);
    }
    return Quaternion{c[0], c[1], c[2], c[3]};
}

} // namespace tolvek
