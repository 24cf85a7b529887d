// Video files of any content through the library's header reader: the bytes are written to a file
// and read the way the scan reads it. A result must stay within its documented bounds.
#include "core/media/AsfHeader.h"
#include "core/media/VideoHeaderReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek;
    static const QString path =
        QDir::tempPath() + QStringLiteral("/tolvek-header-fuzz-%1.wmv").arg(qint64(::getpid()));
    static VideoHeaderReader reader; // reused, as a scan worker reuses it

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            std::abort();
    }
    const VideoHeaderInfo info = reader.readDurationAndTitle(path);
    if (info.memo.size() > VideoHeaderReader::MemoMaxUnits || !std::isfinite(info.seconds) ||
        info.seconds < 0.0f)
        std::abort();
    if (!info.ok() && !info.memo.isEmpty())
        std::abort();

    // The same bytes through the buffer-level functions the tag writer uses.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QByteArray header;
    if (readAsfHeader(buffer, header) == AsfLoad::Ok) {
        const AsfObjectList list = listAsfObjects(header);
        for (const AsfObject& o : list.objects) {
            if (o.offset < 0 || o.size < AsfObjectPrefixSize || o.offset + o.size > header.size())
                std::abort();
            if (isAsfGuid(o.guid(header), AsfGuid::HeaderExtension))
                listAsfExtensionObjects(header, o);
        }
        if (const auto props = findAsfFileProperties(header, list))
            if (!std::isfinite(asfPlayLengthSeconds(*props)))
                std::abort();
    }
    return 0;
}
