#pragma once
// The measurements of one video as three CSV files beside each other: NAME.eye.csv (one row per
// frame), NAME.beats.csv (one row per beat) and NAME.summary.csv (one row per head-position
// segment). Numbers use a point as decimal separator whatever the locale; a missing value is an
// empty field. Each file is written beside its name and renamed into place, so a reader never
// sees half a file. Any thread; failures are returned with the system's reason.

#include "core/analysis/NystagmusAnalysis.h"
#include "core/analysis/PupilTracker.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tolvek::analysis {

inline constexpr char EyeCsvHeader[] = "frame,time_s,x_px,y_px,radius_px,confidence";
inline constexpr char BeatsCsvHeader[] = "start_s,end_s,direction,spv_x_px_s,spv_y_px_s";
inline constexpr char SummaryCsvHeader[] =
    "start_s,end_s,head_position,beat_direction,beats,beats_per_s,mean_spv_x_px_s,mean_spv_y_px_s";

QByteArray eyeCsv(const std::vector<PupilSample>& samples, double fps);
QByteArray beatsCsv(const std::vector<Beat>& beats);
QByteArray summaryCsv(const std::vector<HeadSegment>& segments);

// The three file names for a video: its base name without the extension, in `folder`.
QStringList analysisFilePaths(const QString& folder, const QString& videoPath);

// Writes bytes to path atomically and durably. False with `error` set when it fails.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

} // namespace tolvek::analysis
