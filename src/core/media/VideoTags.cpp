#include "core/media/VideoTags.h"

#include "core/media/AsfHeader.h"
#include "core/media/HeaderJournal.h"
#include "core/media/TagLibText.h"
#include "core/platform/DurableFiles.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>

#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tolvek {

namespace {

constexpr qint64 CopyChunkSize = 1024 * 1024;

bool fitsWordLength(const TagLib::String& s)
{
    return (quint64(s.size()) + 1) * 2 <= quint64(MaxTitleBytes);
}

// What a header says through TagLib: the five content-description texts and, for every other
// attribute, its name, type, size, stream and language.
struct TagState
{
    TagLib::String title, artist, copyright, comment, rating;
    std::vector<std::tuple<QString, int, int, int, int>> attributes;
    bool operator==(const TagState&) const = default;
};

TagState stateOf(const TagLib::ASF::Tag& tag)
{
    TagState s{tag.title(), tag.artist(), tag.copyright(), tag.comment(), tag.rating(), {}};
    const TagLib::ASF::AttributeListMap& map = tag.attributeListMap();
    for (auto it = map.begin(); it != map.end(); ++it)
        for (const TagLib::ASF::Attribute& a : it->second)
            s.attributes.emplace_back(fromTagLibString(it->first), int(a.type()), a.dataSize(), a.stream(),
                                      a.language());
    return s;
}

// The header objects that carry no tags, in order, with the Header Extension opened up: a tag
// write must leave every one of them byte for byte as it was.
std::optional<QList<QByteArray>> untaggedObjects(const QByteArray& header)
{
    const AsfObjectList top = listAsfObjects(header);
    if (!top.wellFormed)
        return std::nullopt;
    QList<QByteArray> kept;
    for (const AsfObject& o : top.objects) {
        const char* guid = o.guid(header);
        if (isAsfGuid(guid, AsfGuid::ContentDescription) ||
            isAsfGuid(guid, AsfGuid::ExtendedContentDescription))
            continue;
        if (!isAsfGuid(guid, AsfGuid::HeaderExtension)) {
            kept.append(header.mid(o.offset, o.size));
            continue;
        }
        const AsfObjectList nested = listAsfExtensionObjects(header, o);
        if (!nested.wellFormed)
            return std::nullopt;
        for (const AsfObject& n : nested.objects)
            if (!isAsfGuid(n.guid(header), AsfGuid::Metadata) &&
                !isAsfGuid(n.guid(header), AsfGuid::MetadataLibrary))
                kept.append(header.mid(n.offset, n.size));
    }
    return kept;
}

// Gives the header's reserve the length that brings the saved header (`rendered`) back to
// `targetSize`, saves again if that changed it, and notes the reserve's new size in `expected`.
// `fitted` tells whether the header now has its old size thanks to the reserve; a header without
// a reserve of this program's kind, or whose reserve is too small, is left as rendered. False only
// when the second save failed.
bool fitToReserve(TagLib::ASF::Tag& tag, TagLib::ASF::File& asf, const TagLib::ByteVector& rendered,
                  qsizetype targetSize, TagState& expected, bool& fitted)
{
    fitted = false;
    const TagLib::String name(HeaderReserveName);
    TagLib::ASF::AttributeListMap& map = tag.attributeListMap();
    const auto it = map.find(name);
    if (it == map.end() || it->second.size() != 1 ||
        it->second[0].type() != TagLib::ASF::Attribute::UnicodeType)
        return true;
    const qsizetype delta = qsizetype(rendered.size()) - targetSize;
    const qsizetype units = qsizetype(it->second[0].toString().size()) - delta / 2;
    if (delta % 2 != 0 || units < 1 || units > HeaderReserveUnits * 16)
        return true;
    fitted = true;
    if (delta == 0)
        return true;
    tag.setAttribute(name, TagLib::String(std::string(std::size_t(units), ' ')));
    for (auto& a : expected.attributes)
        if (std::get<0>(a) == QLatin1String(HeaderReserveName))
            std::get<2>(a) = int(units * 2 + 2);
    return asf.save();
}

// The mode bits alone; WriteUser would report what this process may do, which for a privileged
// user is always yes.
bool hasAnyWriteBit(QFile::Permissions p)
{
    return p & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
}

// The header with the tags set, rendered by TagLib from the old header alone, or why it cannot be
// made. Leaves `newHeader` empty when the old header already carries exactly these tags. The
// header's reserve, where it has one, gives up or takes back room so that the new header keeps the
// old one's size; `inPlace` says whether it did, so the header may be rewritten where it stands.
TagWriteResult renderTaggedHeader(const QByteArray& oldHeader, const std::optional<QString>& title,
                                  QByteArray& newHeader, bool& inPlace)
{
    newHeader.clear();
    inPlace = false;
    const auto oldUntagged = untaggedObjects(oldHeader);
    if (!oldUntagged)
        return TagWriteResult::NotAsf;
    // A descriptor count that cannot fit its object makes TagLib read on past the object, slowly
    // and into the objects behind it, whose bytes it would then write back as tags. Such a header
    // is damaged or hostile; it is refused, not repaired.
    if (!asfDescriptorListsFit(oldHeader, listAsfObjects(oldHeader)))
        return TagWriteResult::NotAsf;
    // The File Properties object must come through unchanged, so a length TagLib cannot hold is
    // refused rather than cleared.
    const auto oldProps = findAsfFileProperties(oldHeader, listAsfObjects(oldHeader));
    if (!oldProps || !asfPlayLengthInRange(*oldProps))
        return TagWriteResult::NotAsf;

    TagLib::ByteVectorStream stream(
        TagLib::ByteVector(oldHeader.constData(), static_cast<unsigned int>(oldHeader.size())));
    TagLib::ASF::File asf(&stream);
    if (!asf.isValid() || !asf.tag())
        return TagWriteResult::NotAsf;
    TagLib::ASF::Tag& tag = *asf.tag();

    TagState expected = stateOf(tag);
    if (title)
        expected.title = toTagLibString(*title);
    expected.copyright = TagLib::String(ProductMark);
    if (tag.title() == expected.title && tag.copyright() == expected.copyright)
        return TagWriteResult::Written;
    // Every text of the content description goes back behind a 16-bit byte count; one that would
    // not fit (possible only in a damaged or foreign file) would wrap and break the header.
    if (!fitsWordLength(tag.artist()) || !fitsWordLength(tag.comment()) || !fitsWordLength(tag.rating()))
        return TagWriteResult::NotAsf;

    if (title)
        tag.setTitle(expected.title);
    tag.setCopyright(expected.copyright);
    if (!asf.save())
        return TagWriteResult::NotAsf;
    if (!fitToReserve(tag, asf, *stream.data(), oldHeader.size(), expected, inPlace))
        return TagWriteResult::NotAsf;
    const TagLib::ByteVector* rendered = stream.data();
    const QByteArray candidate(rendered->data(), qsizetype(rendered->size()));
    inPlace = inPlace && candidate.size() == oldHeader.size();

    // Read the new header back before it goes anywhere near the file: same objects apart from the
    // tags, and exactly the tags we meant to write.
    const auto newUntagged = untaggedObjects(candidate);
    if (!newUntagged || *newUntagged != *oldUntagged || candidate.size() > AsfMaxHeaderSize)
        return TagWriteResult::NotAsf;
    TagLib::ByteVectorStream check(
        TagLib::ByteVector(candidate.constData(), static_cast<unsigned int>(candidate.size())));
    TagLib::ASF::File reread(&check);
    if (!reread.isValid() || !reread.tag() || !(stateOf(*reread.tag()) == expected))
        return TagWriteResult::NotAsf;
    newHeader = candidate;
    return TagWriteResult::Written;
}

// Replaces the file `in` is open on with `newHeader` followed by its bytes from `mediaStart` on:
// a new copy beside it, flushed to disk, then renamed over it.
TagWriteResult replaceHeader(QFile& in, const QString& path, QByteArray newHeader, qint64 mediaStart)
{
    const qint64 fileSize = in.size();
    const qint64 mediaSize = fileSize - mediaStart;
    // Keep the file size in the File Properties object true when it was true before (a recording
    // whose header was never finalised keeps its placeholder).
    if (const auto props = findAsfFileProperties(newHeader, listAsfObjects(newHeader));
        props && props->fileSize == quint64(fileSize))
        writeLe64(newHeader.data() + props->offset + AsfFileSizeField, quint64(newHeader.size() + mediaSize));

    // A link to the video is followed here, once: the copy goes beside the file it leads to and
    // replaces that file, and the link stays a link.
    const QFileInfo info(path);
    const QString real = info.isSymLink() ? info.canonicalFilePath() : path;
    if (real.isEmpty())
        return TagWriteResult::CannotOpen;
    platform::WorkingFile working = platform::WorkingFile::create(tagWorkingPath(real));
    QFile out;
    if (!working.created() ||
        !out.open(working.handle(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        return TagWriteResult::NotWritable;
    }
    out.setPermissions(QFileInfo(real).permissions());
    auto fail = [&] {
        out.close();
        return TagWriteResult::WriteFailed;
    };
    if (out.write(newHeader) != newHeader.size() || !in.seek(mediaStart))
        return fail();
    qint64 copied = 0;
    while (copied < mediaSize) {
        const QByteArray chunk = in.read(qMin(CopyChunkSize, mediaSize - copied));
        if (chunk.isEmpty() || out.write(chunk) != chunk.size())
            return fail();
        copied += chunk.size();
    }
    // A file that grew while we copied is still being written by someone else.
    if (!in.atEnd() || in.size() != fileSize)
        return fail();
    in.close();
    if (!out.flush() || !platform::syncHandleToDisk(out.handle()))
        return fail();
    out.close();
    if (!working.stillOurs() ||
        std::rename(QFile::encodeName(working.path()).constData(), QFile::encodeName(real).constData()) != 0)
        return fail();
    // The folder entry of the rename, so that a power cut right after it cannot bring the old
    // file back. Best effort: the rename itself has already happened.
    platform::syncFolderOf(real);
    return TagWriteResult::Written;
}

TagWriteResult writeTags(const QString& path, const std::optional<QString>& memo)
{
    std::optional<QString> title;
    if (memo) {
        title = textBeforeZero(*memo);
        if (title->size() > MaxMemoUnits)
            return TagWriteResult::MemoTooLong;
    }

    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        return TagWriteResult::CannotOpen;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return TagWriteResult::CannotOpen;
    // A file or folder without any write permission was protected on purpose; even a privileged
    // user does not replace it.
    const QFileInfo folder(info.absolutePath());
    if (!info.isWritable() || !hasAnyWriteBit(info.permissions()) || !folder.isWritable() ||
        !hasAnyWriteBit(folder.permissions()))
        return TagWriteResult::NotWritable;

    QByteArray oldHeader;
    if (readAsfHeader(in, oldHeader) != AsfLoad::Ok)
        return TagWriteResult::NotAsf;
    // The header must be followed by the Data object; otherwise its size field cannot be trusted
    // to mark where the media data begins.
    char next[AsfGuidSize];
    if (!in.seek(oldHeader.size()) || in.read(next, AsfGuidSize) != AsfGuidSize ||
        !isAsfGuid(next, AsfGuid::Data))
        return TagWriteResult::NotAsf;

    QByteArray newHeader;
    bool inPlace = false;
    const TagWriteResult rendered = renderTaggedHeader(oldHeader, title, newHeader, inPlace);
    if (rendered != TagWriteResult::Written || newHeader.isEmpty())
        return rendered;
    // Within the header's reserve the header is rewritten in place, at its old size, under a
    // journal: the cost does not grow with the video. Otherwise the whole file is copied.
    if (inPlace) {
        in.close();
        return media::writeHeaderInPlace(path, oldHeader, newHeader) == media::InPlaceResult::Written
                   ? TagWriteResult::Written
                   : TagWriteResult::WriteFailed;
    }
    return replaceHeader(in, path, newHeader, oldHeader.size());
}

} // namespace

QString tagWorkingPath(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.tags-") + info.fileName() + QStringLiteral(".part");
}

TagWriteResult writeVideoTags(const QString& path, const QString& memo)
{
    return writeTags(path, memo);
}

TagWriteResult writeCopyrightTag(const QString& path)
{
    return writeTags(path, std::nullopt);
}

} // namespace tolvek
