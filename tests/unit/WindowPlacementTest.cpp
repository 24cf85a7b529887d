#include "core/platform/WindowPlacement.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tolvek::platform;

TEST(WindowPlacementTest, NearestMonitor)
{
    // Two monitors side by side, the right one lower and smaller.
    const QList<QRect> monitors = {QRect(0, 0, 1920, 1080), QRect(1920, 200, 1280, 1024)};
    const QSize dialog(378, 512);
    struct Case
    {
        const char* name;
        QPoint at;
        int expected;
    };
    const std::vector<Case> cases = {
        {"inside the first", {100, 100}, 0},
        {"inside the second", {2500, 400}, 1},
        {"straddling, mostly on the second", {1800, 300}, 1},
        {"straddling, mostly on the first", {1700, 300}, 0},
        {"far right of everything", {9000, 500}, 1},
        {"far left of everything", {-5000, 500}, 0},
        {"above the second", {2800, -500}, 1},
        {"below both, nearer the second", {2000, 5000}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nearestMonitor(QRect(c.at, dialog), monitors), c.expected) << c.name;
    EXPECT_EQ(nearestMonitor(QRect(0, 0, 10, 10), {}), -1);
}

TEST(WindowPlacementTest, ClampIntoWorkArea)
{
    const QRect work(1920, 200, 1280, 984); // a taskbar takes 40 pixels at the bottom
    const QSize dialog(378, 512);
    struct Case
    {
        QPoint at;
        QPoint expected;
    };
    const std::vector<Case> cases = {
        {{2000, 300}, {2000, 300}},        // inside: unchanged
        {{100, 300}, {1920, 300}},         // left of the work area
        {{5000, 300}, {3200 - 378, 300}},  // right edge
        {{2000, 0}, {2000, 200}},          // above
        {{2000, 900}, {2000, 1184 - 512}}, // below, onto the taskbar
        {{-100000, 100000}, {1920, 1184 - 512}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clampIntoWorkArea(c.at, dialog, work), c.expected) << c.at.x() << "," << c.at.y();
    // A work area smaller than the window: its left and top edges win.
    EXPECT_EQ(clampIntoWorkArea({500, 500}, dialog, QRect(0, 0, 300, 400)), QPoint(0, 0));
}
