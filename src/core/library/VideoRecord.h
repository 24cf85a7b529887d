#pragma once
// One recorded video of the save folder as the lists show it, the library of them in folder order,
// the length text and the three index sequences the lists are filled from.
// Plain values and pure functions; a library is owned and changed by one thread at a time.

#include <QString>

#include <vector>

namespace tolvek {

struct VideoRecord
{
    QString id;         // characters 0..7 of the file name; "99000000" marks a reference video
    QString dateText;   // "YYYY-MM-DD hh:mm" from characters 8..19
    QString lengthText; // FormatLengthText of the header's play length; empty until read
    QString memo;       // the header's "Title", at most 255 UTF-16 units
    QString fileName;   // without folder

    bool operator==(const VideoRecord&) const = default;
};

using VideoLibrary = std::vector<VideoRecord>;

// A record with id, dateText and fileName made from an accepted name; length and memo empty.
VideoRecord recordFromFileName(const QString& fileName, const QString& memo = QString());

// FormatLengthText: "%02ds" below 60 s, "%dm%02ds" from 60 s on; zero, negative or unreadable
// lengths count as one second.
QString formatLengthText(float seconds);

// AllIndex: every position, newest dateText first (ordinal; equal dates keep library order).
std::vector<int> allIndex(const VideoLibrary& library);
// ReferenceIndex: positions of reference videos (id read as a number is 99000000), memo ascending.
std::vector<int> referenceIndex(const VideoLibrary& library);
// IdIndex: positions whose id read as a number equals patientId, newest dateText first.
std::vector<int> idIndex(const VideoLibrary& library, int patientId);

// Removes the first record named fileName; false when there is none.
bool removeRecord(VideoLibrary& library, const QString& fileName);
// The first record named fileName, or nullptr.
VideoRecord* findRecord(VideoLibrary& library, const QString& fileName);

} // namespace tolvek
