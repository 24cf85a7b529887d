#include "core/media/AsfHeader.h"

#include <QIODevice>

#include <climits>
#include <cstring>

namespace tolvek {

namespace {

// GUIDs in their on-disk byte order.
constexpr unsigned char HeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr unsigned char DataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr unsigned char FilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr unsigned char ContentDescriptionGuid[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr unsigned char ExtendedContentDescriptionGuid[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                              0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr unsigned char HeaderExtensionGuid[16] = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr unsigned char MetadataGuid[16] = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                                            0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
constexpr unsigned char MetadataLibraryGuid[16] = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                                   0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

const unsigned char* guidBytes(AsfGuid which)
{
    switch (which) {
    case AsfGuid::Header:
        return HeaderGuid;
    case AsfGuid::Data:
        return DataGuid;
    case AsfGuid::FileProperties:
        return FilePropertiesGuid;
    case AsfGuid::ContentDescription:
        return ContentDescriptionGuid;
    case AsfGuid::ExtendedContentDescription:
        return ExtendedContentDescriptionGuid;
    case AsfGuid::HeaderExtension:
        return HeaderExtensionGuid;
    case AsfGuid::Metadata:
        return MetadataGuid;
    case AsfGuid::MetadataLibrary:
        return MetadataLibraryGuid;
    }
    return HeaderGuid;
}

// Walks `count` objects laid end to end in [begin, end) of the buffer.
AsfObjectList walk(const QByteArray& buffer, qsizetype begin, qsizetype end, quint64 count)
{
    AsfObjectList list;
    qsizetype pos = begin;
    quint64 seen = 0;
    while (seen < count && end - pos >= AsfObjectPrefixSize) {
        const quint64 size = readLe64(buffer.constData() + pos + AsfGuidSize);
        if (size < quint64(AsfObjectPrefixSize) || size > quint64(end - pos))
            break;
        list.objects.append({pos, qsizetype(size)});
        pos += qsizetype(size);
        ++seen;
    }
    list.wellFormed = seen == count && pos == end;
    return list;
}

} // namespace

quint64 readLe64(const char* p)
{
    quint64 v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | quint8(p[i]);
    return v;
}

quint32 readLe32(const char* p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}

quint16 readLe16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

void writeLe64(char* p, quint64 value)
{
    for (int i = 0; i < 8; ++i)
        p[i] = char((value >> (8 * i)) & 0xFF);
}

bool isAsfGuid(const char* bytes, AsfGuid which)
{
    return std::memcmp(bytes, guidBytes(which), AsfGuidSize) == 0;
}

AsfLoad readAsfHeader(QIODevice& device, QByteArray& header)
{
    char prefix[AsfHeaderPrefixSize];
    if (!device.seek(0) || device.read(prefix, AsfHeaderPrefixSize) != AsfHeaderPrefixSize)
        return AsfLoad::NotAsf;
    if (!isAsfGuid(prefix, AsfGuid::Header))
        return AsfLoad::NotAsf;
    const quint64 size = readLe64(prefix + AsfGuidSize);
    const qint64 deviceSize = device.size();
    if (size < quint64(AsfHeaderPrefixSize) || size > quint64(AsfMaxHeaderSize) || qint64(size) > deviceSize)
        return AsfLoad::BadSize;
    header.resize(qsizetype(size));
    std::memcpy(header.data(), prefix, AsfHeaderPrefixSize);
    const qint64 rest = qint64(size) - AsfHeaderPrefixSize;
    if (rest > 0 && device.read(header.data() + AsfHeaderPrefixSize, rest) != rest)
        return AsfLoad::ReadFailed;
    return AsfLoad::Ok;
}

AsfObjectList listAsfObjects(const QByteArray& header)
{
    if (header.size() < AsfHeaderPrefixSize)
        return {};
    const quint32 count = readLe32(header.constData() + AsfObjectPrefixSize);
    return walk(header, AsfHeaderPrefixSize, header.size(), count);
}

AsfObjectList listAsfExtensionObjects(const QByteArray& header, const AsfObject& extension)
{
    // Reserved GUID (16) and reserved word (2), then the byte size of the nested objects (32 bits).
    constexpr qsizetype nestedStart = AsfObjectPrefixSize + 16 + 2 + 4;
    if (extension.size < nestedStart || extension.offset + extension.size > header.size())
        return {};
    const char* base = header.constData() + extension.offset;
    const quint32 dataSize = readLe32(base + nestedStart - 4);
    const qsizetype begin = extension.offset + nestedStart;
    const qsizetype end = extension.offset + extension.size;
    if (quint64(dataSize) != quint64(end - begin))
        return {};
    // The nested list carries no count: it ends where the declared size ends.
    AsfObjectList list = walk(header, begin, end, ~quint64(0));
    qsizetype last = begin;
    for (const AsfObject& o : list.objects)
        last = o.offset + o.size;
    list.wellFormed = last == end;
    return list;
}

bool asfEntryCountFits(const QByteArray& header, const AsfObject& object, qsizetype entryMinSize)
{
    if (object.size < AsfObjectPrefixSize + 2 || object.offset + object.size > header.size())
        return false;
    const qsizetype count = readLe16(header.constData() + object.offset + AsfObjectPrefixSize);
    return count * entryMinSize <= object.size - AsfObjectPrefixSize - 2;
}

bool asfDescriptorListsFit(const QByteArray& header, const AsfObjectList& list)
{
    for (const AsfObject& o : list.objects) {
        const char* guid = o.guid(header);
        if (isAsfGuid(guid, AsfGuid::ExtendedContentDescription) &&
            !asfEntryCountFits(header, o, AsfExtendedEntryMinSize))
            return false;
        if (!isAsfGuid(guid, AsfGuid::HeaderExtension))
            continue;
        const AsfObjectList nested = listAsfExtensionObjects(header, o);
        if (!nested.wellFormed)
            return false;
        for (const AsfObject& n : nested.objects)
            if ((isAsfGuid(n.guid(header), AsfGuid::Metadata) ||
                 isAsfGuid(n.guid(header), AsfGuid::MetadataLibrary)) &&
                !asfEntryCountFits(header, n, AsfMetadataEntryMinSize))
                return false;
    }
    return true;
}

std::optional<AsfFileProperties> findAsfFileProperties(const QByteArray& header, const AsfObjectList& list)
{
    for (const AsfObject& o : list.objects) {
        if (!isAsfGuid(o.guid(header), AsfGuid::FileProperties))
            continue;
        if (o.size < AsfFilePropertiesMinSize)
            return std::nullopt;
        const char* p = header.constData() + o.offset;
        AsfFileProperties props;
        props.offset = o.offset;
        props.fileSize = readLe64(p + AsfFileSizeField);
        props.playDuration = readLe64(p + AsfPlayDurationField);
        props.prerollMs = readLe64(p + AsfPrerollField);
        return props;
    }
    return std::nullopt;
}

double asfPlayLengthSeconds(const AsfFileProperties& props)
{
    const double seconds = double(props.playDuration) / 1e7 - double(props.prerollMs) / 1e3;
    return seconds > 0.0 ? seconds : 0.0;
}

bool asfPlayLengthInRange(const AsfFileProperties& props)
{
    // TagLib reads both fields as signed 64-bit values.
    if (props.playDuration > quint64(LLONG_MAX) || props.prerollMs > quint64(LLONG_MAX))
        return false;
    const double ms = double(props.playDuration) / 10000.0 - double(props.prerollMs) + 0.5;
    return ms > double(INT_MIN) && ms < double(INT_MAX);
}

} // namespace tolvek
