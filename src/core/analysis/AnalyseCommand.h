#pragma once
// "--analyse FILE... [--output DIR]": measures each video and writes its three CSV files into DIR
// (by default the video's own folder), without a window and without reading or writing the
// configuration. A video that cannot be read or whose files cannot be written gets one line on
// `err`; the others are still done. Returns 0 when every video was done, 1 otherwise.
// Any thread; writes only to the streams given and the output files.

#include <QString>
#include <QStringList>

#include <cstdio>

namespace tolvek::analysis {

int runAnalyseCommand(const QStringList& videos, const QString& outputFolder, std::FILE* out, std::FILE* err);

} // namespace tolvek::analysis
