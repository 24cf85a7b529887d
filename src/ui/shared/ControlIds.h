#pragma once
// Control and command IDs of the main window. Each widget's objectName is its ID in decimal,
// so tests and tools find controls by ID.

#include "core/i18n/MenuCaptions.h"

namespace tolvek {

enum ControlId : int {
    IDC_OK = 1,
    IDC_QUIT = 2,
    IDC_RECORD = 1000,
    IDC_RESETR = 1002,
    IDC_RESET_HEAD = 1004,
    IDC_STOP = 1007,
    IDC_SETID = 1012,
    IDC_MENU = 1021,
    IDC_TRIM = 1028,
    IDC_ID_LIST = 1032,
    IDC_REFERENCE_LIST = 1033,
    IDC_ALL_LIST = 1034,
    IDC_SLIDER = 1038,
    IDC_FOLDER_PANEL = 1039,
    IDC_LISTVIEW = 1040,
    IDC_MEMO_TEXT = 1041,
    IDC_TIME_TEXT = 1042,
    IDC_TOTOP = 1043,
    IDC_LIVE_VIEW_TOOL = 1001,
};

// Menu command IDs are MenuCommand in core/i18n/MenuCaptions.h; this one has no menu item.
inline constexpr int CmdTrimToRangeKey = 32921;

} // namespace tolvek
