#pragma once
// Control and command IDs of the main window. Each widget's objectName is its ID in decimal,
// so tests and tools find controls by ID.

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

enum CommandId : int {
    CMD_EDIT_VIDEO_TAGS = 32771,
    CMD_DELETE = 32772,
    CMD_EXPORT_MP4 = 32773,
    CMD_BACKUP = 32786,
    CMD_SET_BACKUP_FOLDER = 32788,
    CMD_ADD_REFERENCE = 32790,
    CMD_HELP = 32802,
    CMD_MANUAL_HEAD = 32809,
    CMD_CAMERA_2 = 32816,
    CMD_CAMERA_1 = 32817,
    CMD_CAMERA_3 = 32818,
    CMD_CAMERA_4 = 32819,
    CMD_CAMERA_5 = 32820,
    CMD_DIRECTION_1 = 32830,  // ..32837
    CMD_SET_SAVE_FOLDER = 32840,
    CMD_PHONE_SENSOR = 32844,
    CMD_COM_1 = 32884,  // ..32892
    CMD_LIST_ALL = 32908,
    CMD_TOP_PAGE = 32912,
    CMD_TRIM_RANGE_A = 32921,
    CMD_DELETE_SELECTED = 32927,
    CMD_TRIM_RANGE = 32929,
    CMD_CHANGE_ID = 32933,
    CMD_TOGGLE_TOOLTIPS = 32944,
};

}  // namespace tolvek
