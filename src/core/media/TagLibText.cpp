#include "core/media/TagLibText.h"

#include <QByteArray>

#include <taglib/tbytevector.h>

namespace tolvek {

TagLib::String toTagLibString(const QString& text)
{
    QByteArray bytes(text.size() * 2, '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        bytes[2 * i] = char(unit & 0xFF);
        bytes[2 * i + 1] = char(unit >> 8);
    }
    return TagLib::String(TagLib::ByteVector(bytes.constData(), static_cast<unsigned int>(bytes.size())),
                          TagLib::String::UTF16LE);
}

QString fromTagLibString(const TagLib::String& text)
{
    const TagLib::ByteVector bytes = text.data(TagLib::String::UTF16LE);
    QString out;
    out.resize(qsizetype(bytes.size() / 2));
    for (qsizetype i = 0; i < out.size(); ++i) {
        const auto lo = quint8(bytes[int(2 * i)]);
        const auto hi = quint8(bytes[int(2 * i + 1)]);
        out[i] = QChar(char16_t(lo | hi << 8));
    }
    return out;
}

QString textBeforeZero(const QString& text)
{
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    return zero < 0 ? text : text.left(zero);
}

} // namespace tolvek
