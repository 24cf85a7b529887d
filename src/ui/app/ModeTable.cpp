#include "ui/app/ModeTable.h"

#include "ui/shared/ControlIds.h"

namespace tolvek {

namespace {
struct Row
{
    int id;
    bool shown[4];
};
// Shown (true) per mode 0..3.
constexpr Row kRows[] = {
    {IDC_SETID, {false, true, true, false}},         {IDC_STOP, {true, false, false, false}},
    {IDC_TRIM, {false, false, true, false}},         {IDC_QUIT, {true, true, true, true}},
    {IDC_RESETR, {true, false, false, false}},       {IDC_RESET_HEAD, {true, true, false, false}},
    {IDC_FOLDER_PANEL, {false, false, false, true}}, {IDC_TOTOP, {false, false, false, true}},
    {IDC_ALL_LIST, {false, false, false, true}},     {IDC_REFERENCE_LIST, {true, true, true, false}},
    {IDC_ID_LIST, {true, true, true, false}},        {IDC_MEMO_TEXT, {true, false, true, false}},
    {IDC_TIME_TEXT, {true, false, true, false}},     {IDC_SLIDER, {false, false, true, false}},
    {IDC_LISTVIEW, {false, true, true, false}},      {IDC_RECORD, {false, true, true, false}},
};
} // namespace

const std::array<int, 16>& modeControlledIds()
{
    static const std::array<int, 16> ids = [] {
        std::array<int, 16> a{};
        for (std::size_t i = 0; i < a.size(); ++i)
            a[i] = kRows[i].id;
        return a;
    }();
    return ids;
}

bool isShownInMode(int controlId, int mode)
{
    if (controlId == IDC_MENU)
        return true;
    if (mode < 0 || mode > 3)
        return false;
    for (const Row& r : kRows)
        if (r.id == controlId)
            return r.shown[mode];
    return false;
}

int liveViewToolTipMessage(int mode, bool manualHead)
{
    if (mode == 2)
        return 13;
    if (mode == 0)
        return manualHead ? 14 : 15;
    return 0;
}

} // namespace tolvek
