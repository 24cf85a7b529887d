#pragma once
// The phone's UDP datagram: "Q:" and four 3-character decimal fields w, x, y, z, each decoded as
// (n − 128)·2^-7. Pure: any bytes are valid input; a datagram that cannot carry four numbers is
// refused (nullopt) rather than turned into a made-up orientation.

#include "core/sensor/HeadPose.h"

#include <QByteArrayView>

#include <optional>

namespace tolvek {

inline constexpr quint16 PhoneGyroPort = 1108;
inline constexpr int PhoneDatagramReadSize = 63;  // bytes of a datagram that are looked at
inline constexpr int PhoneDatagramFieldsEnd = 14; // "Q:" + 4 × 3 characters

// One field scanned on its own the way "%d" does: leading white space, an optional sign, at least
// one digit; scanning stops at the first non-digit or a zero byte. nullopt when no digit follows.
std::optional<int> scanPhoneField(QByteArrayView field);

// (n − 128)·2^-7: "128" is 0, "000" is −1, "256" is 1.
float decodePhoneComponent(int n);

// The quaternion of a datagram. Only the first 63 bytes count and bytes 14 and later are ignored.
// Refused: a first byte other than "Q" or a second other than ":" (so "q:" and "Q;" too), fewer
// than 14 bytes, or a field that does not scan as a number. A short datagram or a text field would
// otherwise decode as −1.0 components and throw the head picture to one side.
std::optional<Quaternion> parsePhoneDatagram(QByteArrayView datagram);

} // namespace tolvek
