#pragma once
// The application icon: the one of the installed icon theme, else the hicolor folders found
// relative to the executable (the installed layout under any prefix, or the source tree when the
// program runs from its build folder). A null icon when none is found. UI thread.

#include <QIcon>
#include <QString>

namespace tolvek {

QIcon applicationIcon(const QString& executableFolder);

// The hicolor part alone: every size of the icon under executableFolder/../share/icons/hicolor,
// else under executableFolder/../resources/icons/hicolor.
QIcon applicationIconBesideExecutable(const QString& executableFolder);

} // namespace tolvek
