#pragma once
// The naming scheme of recorded videos: "%08d%04d%02d%02d%02d%02d%02d.wmv", the patient ID and
// the local start time. The file name is the only record of a video's patient and time.
// Pure functions; thread-safe.

#include <QDateTime>
#include <QString>

namespace tolvek {

inline constexpr int ReferenceId = 99000000;
inline constexpr char ReferenceIdText[] = "99000000";
inline constexpr int VideoFileNameLength = 26;

QString formatPatientId(int patientId); // "%08d"

QString makeVideoFileName(int patientId, const QDateTime& localTime);

// A listed video: longer than 25 characters, first 22 all decimal digits, ending in ".wmv".
bool isVideoFileName(const QString& name);

struct VideoNameFields
{
    bool ok = false; // the first 22 characters are digits
    int patientId = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // A real calendar time: year >= 1970, month 1-12, day 1-31, hour 0-23, minute and second 0-59.
    bool timeValid() const;
    QDateTime localTime() const;
};
VideoNameFields parseVideoFileName(const QString& name);

// "%08d %04d-%02d-%02d %02d:%02d" from characters 0-19, seconds not shown.
QString splitVideoFileName(const QString& name);
// "yyyy-mm-dd hh:mm" from characters 8-19, unchecked.
QString videoDateText(const QString& name);
QString videoIdText(const QString& name); // characters 0-7

bool isReferenceVideoName(const QString& name); // contains "99000000"

// The name of the head-data file kept beside a video: the name's last extension replaced by
// ".head.csv" ("NAME.wmv" -> "NAME.head.csv", "NAME.mp4" -> "NAME.head.csv"). Never a video name.
QString headDataFileName(const QString& videoName);

// Folder and name joined with one "/".
QString makeSavePath(const QString& folder, const QString& name);

// The name for patientId at localTime in folder, stepped one second forward while a file of that
// name or a head-data file of that name exists, so a new video never overwrites an older one nor
// takes over head data left by another.
QString freeVideoFileName(const QString& folder, int patientId, QDateTime localTime);

} // namespace tolvek
