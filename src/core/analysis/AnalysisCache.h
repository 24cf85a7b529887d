#pragma once
// The measurements of a video kept beside it as its three CSV files (AnalysisFiles), so that a
// video analysed once opens again at once: whether that cache is still good for the video, and
// reading it back into the measurement's own types; writing all three or none.
// Any thread; failures are returned, nothing throws.

#include "core/analysis/VideoAnalysis.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvek::analysis {

// The three files of videoPath exist beside it and none is older than the video or than any of
// otherSources that exists (data the analysis read, such as the head positions).
bool analysisCacheIsFresh(const QString& videoPath, const QStringList& otherSources = {});

// The analysis read back from the three files beside videoPath; nullopt when one is missing or
// not in the format written (a wrong header, a row that does not parse).
std::optional<VideoAnalysis> readAnalysisCache(const QString& videoPath);

// Writes the three files beside videoPath. When one cannot be written, the ones already written
// are removed again, so the folder never holds a mixed set; false with `error` set then.
bool writeAnalysisCache(const QString& videoPath, const VideoAnalysis& analysis, QString& error);

// Splits one CSV line into its fields: quoted fields may hold commas and doubled quotes.
QStringList splitCsvLine(const QString& line);

} // namespace tolvek::analysis
