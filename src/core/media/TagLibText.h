#pragma once
// Exact conversions between QString and TagLib's strings through UTF-16 code units, so that any
// text (including characters outside the Basic Multilingual Plane) keeps its length in units.
// Pure functions; thread-safe.

#include <QString>

#include <taglib/tstring.h>

namespace tolvek {

TagLib::String toTagLibString(const QString& text);
QString fromTagLibString(const TagLib::String& text);

// `text` up to its first U+0000, as a C-style reader of the header would see it.
QString textBeforeZero(const QString& text);

} // namespace tolvek
