#pragma once
// The four pop-up menu kinds as data: items, command IDs and captions for each of the 13 languages,
// plus the resource ID each kind has per language. Pure functions over constant tables, safe from
// any thread; out-of-range languages select Japanese, as everywhere else.

#include <QString>
#include <vector>

namespace tolvek {

enum class MenuKind { MainMenu, FolderMenu, AllListPopupMenu, VideoPopupMenu };

// Command IDs of the menu items.
enum MenuCommand : int {
    CmdEditVideoTags = 32771,
    CmdDeleteVideo = 32772, // VideoPopupMenu
    CmdSaveAsFile = 32773,
    CmdBackup = 32786,
    CmdSetBackupFolder = 32788,
    CmdAddToReferenceList = 32790,
    CmdHelp = 32802,
    CmdHeadPositionManual = 32809,
    CmdGyroDirectionFirst = 32830, // "Direction 1".."Direction 8": 32830..32837
    CmdChangeSaveFolder = 32840,
    CmdHeadPositionPhone = 32844,
    CmdComPortFirst = 32884, // "com1".."com9": 32884..32892
    CmdListAll = 32908,
    CmdTopPage = 32912,
    CmdDeleteAllListVideo = 32927, // AllListPopupMenu
    CmdTrimToRange = 32929,
    CmdChangeId = 32933,
    CmdShowToolTips = 32944,
    CmdEyeAnalysis = 32980 // VideoPopupMenu of the picture
};

inline constexpr int GyroDirectionCount = 8;
inline constexpr int ComPortItemCount = 9;
inline constexpr int CameraItemCount = 5;

struct MenuItemDef
{
    int command = 0; // 0 = separator, -1 = sub-menu (its items in children)
    QString caption;
    std::vector<MenuItemDef> children;
};

// The items of a menu kind in language (0..12, anything else counts as 0), in display order.
// For MainMenu these are the items of the pop-up that is shown (positions 0..13).
std::vector<MenuItemDef> menuDefinition(MenuKind kind, int language);

// Resource ID of a menu kind for the decimal value of the "Language" setting; outside 0..12 counts as 0.
int menuResourceId(MenuKind kind, int languageSetting);

// Camera sub-menu command of camera number 0..4 (32817, 32816, 32818, 32819, 32820); -1 otherwise.
int cameraCommand(int cameraNumber);
int cameraForCommand(int command); // -1 when not a camera command

} // namespace tolvek
