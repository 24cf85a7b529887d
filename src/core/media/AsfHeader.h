#pragma once
// Bounded access to the header object at the start of an ASF (WMV) file: loading its bytes, listing
// its objects and reading the file properties. Shared by the header reader and the tag writer.
// Pure functions on caller-owned buffers; thread-safe. Malformed input gives a failure, never a
// read outside the buffer.

#include <QByteArray>
#include <QList>

#include <optional>

class QIODevice;

namespace tolvek {

// Headers above this size are refused. Our recordings carry a few kilobytes; the limit only keeps a
// damaged size field from asking for gigabytes.
inline constexpr qint64 AsfMaxHeaderSize = 16 * 1024 * 1024;
inline constexpr qsizetype AsfGuidSize = 16;
inline constexpr qsizetype AsfObjectPrefixSize = 24; // GUID and 64-bit size
inline constexpr qsizetype AsfHeaderPrefixSize = 30; // + object count (32 bits) and two reserved bytes

enum class AsfGuid {
    Header,
    Data,
    FileProperties,
    ContentDescription,
    ExtendedContentDescription,
    HeaderExtension,
    Metadata,
    MetadataLibrary
};
bool isAsfGuid(const char* bytes, AsfGuid which);

enum class AsfLoad { Ok, NotAsf, BadSize, ReadFailed };

// Reads the header object from offset 0 of `device` into `header` (resized to the header's size).
// The size must lie between 30 bytes and the smaller of the device size and AsfMaxHeaderSize.
AsfLoad readAsfHeader(QIODevice& device, QByteArray& header);

struct AsfObject
{
    qsizetype offset = 0; // of the object's GUID within the buffer
    qsizetype size = 0;   // whole object, prefix included
    const char* guid(const QByteArray& buffer) const { return buffer.constData() + offset; }
};

struct AsfObjectList
{
    QList<AsfObject> objects; // those that fit inside the buffer, in file order
    bool wellFormed = false;  // count as declared and sizes adding up exactly to the enclosing object
};

// The top-level objects of a header loaded by readAsfHeader.
AsfObjectList listAsfObjects(const QByteArray& header);
// The objects inside a Header Extension object of that header.
AsfObjectList listAsfExtensionObjects(const QByteArray& header, const AsfObject& extension);

// TagLib reads as many entries as a descriptor list's 16-bit count declares, also past the end of
// its object. These tell whether a count can be met inside the object by entries of the smallest
// size: 6 bytes in the Extended Content Description (name length, value type, value length), 12 in
// the Metadata and Metadata Library objects (language or reserved, stream, name length, type, and
// a 32-bit data length).
inline constexpr qsizetype AsfExtendedEntryMinSize = 6;
inline constexpr qsizetype AsfMetadataEntryMinSize = 12;
bool asfEntryCountFits(const QByteArray& header, const AsfObject& object, qsizetype entryMinSize);
// Whether every descriptor list of the header (the Extended Content Description at the top, the
// Metadata and Metadata Library objects inside the Header Extension) can hold its declared count,
// and the Header Extension's nested list adds up. False means TagLib would walk past an object.
bool asfDescriptorListsFit(const QByteArray& header, const AsfObjectList& list);

struct AsfFileProperties
{
    qsizetype offset = 0; // of the File Properties object
    quint64 fileSize = 0;
    quint64 playDuration = 0; // 100 ns units, preroll included
    quint64 prerollMs = 0;
};
inline constexpr qsizetype AsfFileSizeField = 40; // offsets within the File Properties object
inline constexpr qsizetype AsfPlayDurationField = 64;
inline constexpr qsizetype AsfPrerollField = 80;
inline constexpr qsizetype AsfFilePropertiesMinSize = 104;

// The first File Properties object of the list, when it is complete.
std::optional<AsfFileProperties> findAsfFileProperties(const QByteArray& header, const AsfObjectList& list);

// The play length in seconds without the preroll; 0 when the fields give no positive length.
double asfPlayLengthSeconds(const AsfFileProperties& props);
// Whether the length in milliseconds fits a signed 32-bit value (about 24 days), as TagLib holds it;
// TagLib's arithmetic overflows on headers where this is false.
bool asfPlayLengthInRange(const AsfFileProperties& props);

quint64 readLe64(const char* p);
quint32 readLe32(const char* p);
quint16 readLe16(const char* p);
void writeLe64(char* p, quint64 value);

} // namespace tolvek
