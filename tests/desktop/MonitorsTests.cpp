// Which monitor the figure stands on, and keeping it and the windows beside it on the desktop.
#include "desktop/Monitors.h"

#include <gtest/gtest.h>

using desktop::Monitor;
using desktop::Monitors;

namespace {
// Two monitors side by side: A on the left, the primary one, and B on its right.
const QRect A(0, 0, 1280, 800), B(1280, 0, 1280, 800);
const Monitors twoSideBySide({Monitor{A, A}, Monitor{B, B}});
const QSize genie(128, 160);

QRect figureAt(int x, int y)
{
    return QRect(QPoint(x, y), genie);
}
} // namespace

TEST(Monitors, TheFigureAndTheWindowsBesideItStayOnTheMonitorItCoversMost)
{
    const auto& all = twoSideBySide.all();
    EXPECT_EQ(twoSideBySide.of(figureAt(1290, 300)), &all[1]);
    EXPECT_EQ(twoSideBySide.of(figureAt(1200, 300)), &all[0]); // 80 of its 128 columns on A
    EXPECT_EQ(twoSideBySide.of(figureAt(1216, 300)), &all[0]); // half and half: the primary one
    EXPECT_EQ(twoSideBySide.of(figureAt(5000, 300)), &all[1]);
    EXPECT_EQ(twoSideBySide.of(figureAt(-5000, 300)), &all[0]);
    EXPECT_EQ(twoSideBySide.of(figureAt(1300, 2000)), &all[1]);
    EXPECT_EQ(desktop::Monitors().of(figureAt(0, 0)), nullptr);

    // A place mostly off the desktop comes wholly onto the nearest monitor.
    // Off every monitor, or showing 60 x 100 of 128 x 160: onto B, all of it.
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(5000, 300)), QPoint(2432, 300));
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(5000, 700)), QPoint(2432, 640));
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(2500, 700)), QPoint(2432, 640));
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(-300, -300)), QPoint(0, 0));
    // Where the user can see and reach it, it stays: across the seam, or a little off an edge.
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(1220, 300)), QPoint(1220, 300));
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(-20, 0)), QPoint(-20, 0));
    EXPECT_EQ(twoSideBySide.keepOn(figureAt(2480, 100)), QPoint(2480, 100));
    // It comes out from under a panel, into the area windows may use.
    const desktop::Monitors panelOnB({desktop::Monitor{A, A}, desktop::Monitor{B, B.adjusted(0, 30, 0, 0)}});
    EXPECT_EQ(panelOnB.keepOn(figureAt(2000, -150)), QPoint(2000, 30));
    // One monitor: the rule is the same.
    const desktop::Monitors one({desktop::Monitor{A, A}});
    EXPECT_EQ(one.keepOn(figureAt(2500, 700)), QPoint(1152, 640));
    EXPECT_EQ(one.keepOn(figureAt(250, -20)), QPoint(250, -20));

    // A window beside the figure stays on the figure's monitor.
    const QSize clock(186, 92); // window and frame
    // On its right where that fits, top edges level.
    EXPECT_EQ(twoSideBySide.beside(figureAt(1290, 300), clock, 12), QPoint(1430, 300));
    // Not across the seam onto B, nor past B's right edge: on its left.
    EXPECT_EQ(twoSideBySide.beside(figureAt(1100, 300), clock, 12), QPoint(902, 300));
    EXPECT_EQ(twoSideBySide.beside(figureAt(2432, 300), clock, 12), QPoint(2234, 300));
    // Never below the monitor's bottom edge.
    EXPECT_EQ(twoSideBySide.beside(figureAt(300, 760), clock, 12), QPoint(440, 708));
    // A monitor too narrow for either side: inside it all the same.
    const QRect narrow(0, 0, 300, 800);
    EXPECT_EQ(desktop::Monitors({desktop::Monitor{narrow, narrow}}).beside(figureAt(100, 0), clock, 12), QPoint(114, 0));
}
