#pragma once
// The texts of the eye-movement analysis window and its report in the 13 languages, as data, and
// the localized names of head positions and beat directions. Pure functions over constant tables;
// thread-safe. Languages outside 0..12 select Japanese, as everywhere else.

#include <QString>

namespace tolvek {

enum class AnalysisText : int {
    MenuItem,
    WindowTitle, // %1: the video's file name
    Analysing,   // %1: percent done
    Cancel,
    Cancelled,
    AnalysisFailed,
    RefusedWhileRecording,
    CacheNotSaved,
    Horizontal,
    Vertical,
    TimeAxis,
    ColumnPosition,
    ColumnDuration,
    ColumnDirection,
    ColumnBeatsPerSecond,
    ColumnMeanSpv,
    PixelsPerDegree,
    NotCalibrated,
    SaveReport,
    PrintReport,
    ReportTitle,
    PatientId,
    Recorded,
    VideoFile,
    ReplaceQuestion, // %1: the file's path
    ReportSaved,     // %1: the file's path
    ReportNotWritten,
    DirectionNone,
    DirectionLeft,
    DirectionRight,
    DirectionUp,
    DirectionDown,
    PositionForward,
    PositionLeft,
    PositionRight,
    PositionUp,
    PositionDown,
    PositionUpperLeft,
    PositionUpperRight,
    PositionLowerLeft,
    PositionLowerRight,
    PositionOther,
    PositionUnknown,
    SlowPhase,
    NoPupil,
    AnalyseAgain,
    StillFrames,
    PdfFilter,
    NoVideo,
    Created,
    Count
};

inline constexpr int AnalysisTextCount = int(AnalysisText::Count);

// The text of id in language (0..12).
QString analysisText(int language, AnalysisText id);
// The same in the current language.
QString analysisText(AnalysisText id);

// A head-position label as the analysis writes it ("forward", "upper-left", "unknown", "other")
// in language; a label it does not know is shown as it is.
QString headPositionText(int language, const QString& label);
// A beat direction name ("none", "left", "right", "up", "down") in language; others as they are.
QString beatDirectionText(int language, const QString& direction);

} // namespace tolvek
