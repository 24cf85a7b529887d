#pragma once
// WMV files whose frames carry the recorder's burnt-in ID label, and a measure of which ID label a
// decoded frame shows. Thread-safe for different paths; failures give an empty path or -1.

#include <QString>

namespace tolvek::test {

// frames grey frames of w x h at fps, each with the ID label of id, written as WMV2 by OpenCV.
QString makeIdLabelWmv(const QString& path, int frames, int id, int w = 192, int h = 144, int fps = 30);

// Mean absolute difference (0..255) between the ID box of decoded frame `frame` of path and a
// clean rendering of the label for id; -1 when the frame cannot be decoded. Small for the ID
// actually burnt in, clearly larger for any other ID.
double idLabelDifference(const QString& path, int frame, int id);

} // namespace tolvek::test
