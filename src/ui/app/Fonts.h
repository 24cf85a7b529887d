#pragma once
// The two type faces the windows are laid out for, with the CJK-capable faces that stand in for
// them where they are not installed. UI thread only; no failure modes (Qt falls back itself).

#include <QFont>

namespace tolvek {

// "メイリオ" (Meiryo), for the dialogs.
QFont meiryoFont(double points);
// "MS Gothic", for the lists, the folder panel and the time text; size left to the caller.
QFont gothicFont();

}  // namespace tolvek
