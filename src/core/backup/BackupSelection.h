#pragma once
// Which videos a backup by date takes: the recordings whose date (the characters after the
// 8-digit patient ID) starts with the entered prefix. Pure functions over names, plus one
// folder listing; thread-safe. An unreadable folder simply yields no names.

#include <QString>
#include <QStringList>

namespace tolvek {

// The prefix as entered on the date keypad: "%d" of the value (a year, year and month, or a
// full date).
QString backupDatePrefix(int dateValue);

// The names a backup with prefix copies, in the given order: exactly 26 characters, a video
// name by the library's rule (22 leading digits, ".wmv" in any case), and the prefix right after
// the ID. An empty prefix selects nothing.
QStringList selectBackupNames(const QStringList& names, const QString& prefix);

// selectBackupNames over the plain files of saveFolder (no sub-folders), sorted by name.
QStringList findBackupFiles(const QString& saveFolder, const QString& prefix);

} // namespace tolvek
