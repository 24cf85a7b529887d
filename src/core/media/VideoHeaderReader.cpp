#include "core/media/VideoHeaderReader.h"

#include "core/media/AsfHeader.h"
#include "core/media/TagLibText.h"

#include <QFile>

#include <cstring>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>

namespace tolvek {

namespace {

// The length in bytes that the Content Description object gives its title; 0 when the header has
// no such object, which means the file carries no "Title" at all.
quint16 titleByteLength(const QByteArray& header, const AsfObjectList& list)
{
    for (const AsfObject& o : list.objects)
        if (isAsfGuid(o.guid(header), AsfGuid::ContentDescription) && o.size >= AsfObjectPrefixSize + 10)
            return readLe16(header.constData() + o.offset + AsfObjectPrefixSize);
    return 0;
}

// Clears an out-of-range length in our copy of the header (see asfPlayLengthInRange), so that TagLib
// never overflows on it; the length then counts as unknown. Returns whether the length is usable.
bool clearOverflowingLength(QByteArray& header, const AsfFileProperties& props)
{
    if (asfPlayLengthInRange(props))
        return true;
    writeLe64(header.data() + props.offset + AsfPlayDurationField, 0);
    writeLe64(header.data() + props.offset + AsfPrerollField, 0);
    return false;
}

// TagLib walks the header on its own: it reads every object the header's count declares, even one
// whose size runs past the header, and every entry a descriptor list declares, even past its
// object. On damaged counts that costs it a third of a second per file, so a folder of such files
// would stall the scan. In our copy of the header, the count is cut to the objects that fit, and an
// object whose entries cannot fit gets an unknown GUID so that TagLib skips it; none of them holds
// the title or the length.
void hideUnwalkableObjects(QByteArray& header, const AsfObjectList& list)
{
    constexpr qsizetype ObjectCountField = 24;
    auto hide = [&header](const AsfObject& o) { std::memset(header.data() + o.offset, 0, AsfGuidSize); };

    if (!list.wellFormed) {
        const quint32 count = quint32(list.objects.size());
        for (int i = 0; i < 4; ++i)
            header[ObjectCountField + i] = char((count >> (8 * i)) & 0xff);
    }
    for (const AsfObject& o : list.objects) {
        const char* guid = o.guid(header);
        if (isAsfGuid(guid, AsfGuid::ExtendedContentDescription) &&
            !asfEntryCountFits(header, o, AsfExtendedEntryMinSize)) {
            hide(o);
        } else if (isAsfGuid(guid, AsfGuid::HeaderExtension)) {
            const AsfObjectList nested = listAsfExtensionObjects(header, o);
            bool walkable = nested.wellFormed;
            for (const AsfObject& n : nested.objects)
                if ((isAsfGuid(n.guid(header), AsfGuid::Metadata) ||
                     isAsfGuid(n.guid(header), AsfGuid::MetadataLibrary)) &&
                    !asfEntryCountFits(header, n, AsfMetadataEntryMinSize))
                    walkable = false;
            if (!walkable)
                hide(o);
        }
    }
}

// At most `max` units, without leaving half of a surrogate pair at the end.
QString cutToUnits(const QString& text, qsizetype max)
{
    if (text.size() <= max)
        return text;
    qsizetype n = max;
    if (n > 0 && text[n - 1].isHighSurrogate() && text[n].isLowSurrogate())
        --n;
    return text.left(n);
}

} // namespace

VideoHeaderReader::VideoHeaderReader()
{
    m_buffer.reserve(InitialBufferSize);
}

void VideoHeaderReader::reopen()
{
    m_buffer = QByteArray();
    m_buffer.reserve(InitialBufferSize);
    m_openedCount = 0;
    m_failureCount = 0;
    ++m_reopenCount;
}

VideoHeaderInfo VideoHeaderReader::fail()
{
    if (++m_failureCount >= ReopenAfterFailures)
        reopen();
    return {};
}

VideoHeaderInfo VideoHeaderReader::readDurationAndTitle(const QString& path)
{
    if (m_openedCount >= ReopenAfterFiles)
        reopen();

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail();
    if (readAsfHeader(file, m_buffer) != AsfLoad::Ok)
        return fail();
    file.close();
    ++m_openedCount;

    VideoHeaderInfo info;
    const AsfObjectList list = listAsfObjects(m_buffer);
    if (const auto props = findAsfFileProperties(m_buffer, list)) {
        if (clearOverflowingLength(m_buffer, *props))
            info.seconds = float(asfPlayLengthSeconds(*props));
    }
    const bool hasTitle = titleByteLength(m_buffer, list) > 0;
    hideUnwalkableObjects(m_buffer, list);

    TagLib::ByteVectorStream stream(
        TagLib::ByteVector(m_buffer.constData(), static_cast<unsigned int>(m_buffer.size())));
    TagLib::ASF::File asf(&stream);
    if (!asf.isValid() || !asf.tag())
        return fail();

    if (hasTitle) {
        info.result = VideoHeaderInfo::Result::Memo;
        info.memo = cutToUnits(textBeforeZero(fromTagLibString(asf.tag()->title())), MemoMaxUnits);
    } else {
        info.result = VideoHeaderInfo::Result::NoMemo;
    }
    m_failureCount = 0;
    return info;
}

} // namespace tolvek
