// Video files of any content through the tag writers, as Edit Video Tags and the recording stop
// call them. A write either leaves the file byte for byte as it was and says why, or reports
// success and leaves a file whose tags read back as written and whose media bytes are untouched.
#include "core/media/AsfHeader.h"
#include "core/media/TagLibText.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

// The header and what follows it, as the writer splits a file; false when it has no header.
bool split(const QByteArray& bytes, QByteArray& header, QByteArray& media)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    if (tolvek::readAsfHeader(buffer, header) != tolvek::AsfLoad::Ok)
        return false;
    media = bytes.mid(header.size());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvek;
    if (size < 1)
        return 0;
    static const QString path =
        QDir::tempPath() + QStringLiteral("/tolvek-tag-fuzz-%1.wmv").arg(qint64(::getpid()));
    static VideoHeaderReader reader;

    // The first byte picks the writer and the memo; the rest is the file.
    const std::uint8_t mode = data[0];
    const QByteArray before(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(before) != before.size())
            std::abort();
    }
    const bool withMemo = mode & 1;
    const QString memo = (mode & 2) ? QString() : QStringLiteral("Nystagmus links \u00e4\u00f6 %1").arg(mode);
    const TagWriteResult result = withMemo ? writeVideoTags(path, memo) : writeCopyrightTag(path);

    const QByteArray after = readAll(path);
    if (result != TagWriteResult::Written) {
        if (after != before)
            std::abort(); // a refused write must not touch the file
        return 0;
    }
    if (after == before)
        return 0; // the tags were already there

    // Written: the media bytes are the old ones, the tags read back as written.
    QByteArray oldHeader, oldMedia, newHeader, newMedia;
    if (!split(before, oldHeader, oldMedia) || !split(after, newHeader, newMedia) || newMedia != oldMedia)
        std::abort();
    TagLib::ByteVectorStream stream(TagLib::ByteVector(newHeader.constData(), unsigned(newHeader.size())));
    TagLib::ASF::File asf(&stream);
    if (!asf.isValid() || !asf.tag() ||
        fromTagLibString(asf.tag()->copyright()) != QLatin1String(ProductMark))
        std::abort();
    if (withMemo && fromTagLibString(asf.tag()->title()) != memo)
        std::abort();
    const VideoHeaderInfo info = reader.readDurationAndTitle(path);
    if (!info.ok() || (withMemo && info.memo != memo))
        std::abort();
    return 0;
}
