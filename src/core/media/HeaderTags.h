#pragma once
// The header fields this program writes into every video: the memo as "Title" and the product
// mark as "Copyright", with the size limit of the header's text fields.

#include <QtGlobal>

namespace tolvek {

inline constexpr char ProductMark[] = "Tolvek";
// The header stores "Title" as UTF-16 with a terminating zero behind a 16-bit byte count.
inline constexpr int MaxTitleBytes = 65535;
inline constexpr qsizetype MaxMemoUnits = MaxTitleBytes / 2 - 1; // 32766

// A text attribute of spaces that the files this program writes carry in their header. A memo
// edit takes room from it or gives room back, so that the header keeps its size and is rewritten
// in place instead of copying the whole video.
inline constexpr char HeaderReserveName[] = "Tolvek/HeaderReserve";
inline constexpr int HeaderReserveUnits = 2048;

} // namespace tolvek
