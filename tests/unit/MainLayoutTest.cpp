#include "ui/shared/MainLayout.h"
#include "ui/app/ModeTable.h"
#include "ui/shared/ControlIds.h"

#include <gtest/gtest.h>

using namespace tolvek;

TEST(MainLayout, WorkedExample)
{
    const MainLayout l = layoutMainWindow(1280, 720, 640, 480);
    EXPECT_EQ(l.liveView, QRect(280, 132, 720, 540));
    EXPECT_EQ(l.sliderLength, 720);
    EXPECT_EQ(l.sliderOrigin, QPoint(280, 675));
    EXPECT_EQ(l.control(IDC_SLIDER), QRect(270, 675, 732, 29));
    EXPECT_EQ(l.control(IDC_QUIT), QRect(1189, 5, 85, 85));
    EXPECT_EQ(l.control(IDC_RECORD), QRect(598, 5, 85, 85));
    EXPECT_EQ(l.control(IDC_SETID), QRect(508, 5, 85, 85));
    EXPECT_EQ(l.control(IDC_RESET_HEAD), QRect(915, 5, 85, 85));
    EXPECT_EQ(l.control(IDC_ID_LIST), QRect(1041, 95, 234, 620));
    EXPECT_EQ(l.control(IDC_ALL_LIST), QRect(5, 95, 1270, 620));
    EXPECT_EQ(l.control(IDC_FOLDER_PANEL), QRect(186, 5, 920, 85));
    EXPECT_EQ(l.control(IDC_TIME_TEXT), QRect(280, 102, 150, 30));
    EXPECT_EQ(sliderEraseBand(l), QRect(270, 672, 740, 32));
}

TEST(MainLayout, SmallClientIsLaidOutAsTheMinimum)
{
    const MainLayout small = layoutMainWindow(300, 200, 640, 480);
    const MainLayout min = layoutMainWindow(850, 400, 640, 480);
    EXPECT_EQ(small.liveView, min.liveView);
    EXPECT_EQ(small.control(IDC_QUIT), min.control(IDC_QUIT));
    EXPECT_EQ(small.rawClient, QSize(300, 200));
}

TEST(MainLayout, PictureKeepsAspectAndTwelvePixelSteps)
{
    const struct
    {
        int cx, cy, capW, capH;
    } cases[] = {{850, 400, 640, 480},    {999, 700, 640, 480},   {1000, 700, 640, 480},
                 {1299, 1000, 640, 480},  {1300, 800, 640, 480},  {1920, 1080, 640, 480},
                 {1920, 1080, 1280, 720}, {1280, 720, 1280, 720}, {2560, 1400, 320, 240},
                 {1000, 2000, 640, 480}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cx << "x" << c.cy << " cam " << c.capW << "x" << c.capH);
        const MainLayout l = layoutMainWindow(c.cx, c.cy, c.capW, c.capH);
        const QRect r = l.liveView;
        ASSERT_GT(r.width(), 0);
        ASSERT_GT(r.height(), 0);
        // One side stays a multiple of 12; the other follows the camera's aspect ratio.
        EXPECT_TRUE(r.width() % 12 == 0 || r.height() % 12 == 0);
        EXPECT_NEAR(double(r.width()) / r.height(), double(c.capW) / c.capH, 0.03);
        // Centred horizontally, below the 85-pixel button row, slider exactly as long as the picture.
        const int W = std::max(c.cx, 850);
        EXPECT_LE(std::abs((W - r.right() - 1) - r.left()), 1);
        EXPECT_GE(r.top(), 85);
        EXPECT_EQ(l.sliderLength, r.width());
    }
}

TEST(ModeTable, ShowHideTable)
{
    // mode -> controls shown
    const struct
    {
        int mode;
        std::vector<int> shown;
    } cases[] = {
        {0,
         {IDC_STOP, IDC_QUIT, IDC_RESETR, IDC_RESET_HEAD, IDC_REFERENCE_LIST, IDC_ID_LIST, IDC_MEMO_TEXT,
          IDC_TIME_TEXT}},
        {1, {IDC_SETID, IDC_QUIT, IDC_RESET_HEAD, IDC_REFERENCE_LIST, IDC_ID_LIST, IDC_LISTVIEW, IDC_RECORD}},
        {2,
         {IDC_SETID, IDC_TRIM, IDC_QUIT, IDC_REFERENCE_LIST, IDC_ID_LIST, IDC_MEMO_TEXT, IDC_TIME_TEXT,
          IDC_SLIDER, IDC_LISTVIEW, IDC_RECORD}},
        {3, {IDC_QUIT, IDC_FOLDER_PANEL, IDC_TOTOP, IDC_ALL_LIST}},
    };
    for (const auto& c : cases) {
        for (int id : modeControlledIds()) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " control " << id);
            const bool expected = std::find(c.shown.begin(), c.shown.end(), id) != c.shown.end();
            EXPECT_EQ(isShownInMode(id, c.mode), expected);
        }
        EXPECT_TRUE(isShownInMode(IDC_MENU, c.mode));
    }
    EXPECT_EQ(liveViewToolTipMessage(2, true), 13);
    EXPECT_EQ(liveViewToolTipMessage(0, true), 14);
    EXPECT_EQ(liveViewToolTipMessage(0, false), 15);
    EXPECT_EQ(liveViewToolTipMessage(1, true), 0);
    EXPECT_EQ(liveViewToolTipMessage(3, false), 0);
}
