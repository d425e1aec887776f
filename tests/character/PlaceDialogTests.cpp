// Where a dialog stands beside the character, and the gesture at it.
#include "character/PlaceDialog.h"

#include "character/Agent.h"
#include "support/CharacterTestSupport.h"

#include <QRegularExpression>
#include <QWidget>
#include <gtest/gtest.h>

using character::PlaceBeside;

class PlaceDialog : public testsupport::MainCharacterTest {};

TEST_F(PlaceDialog, TheLeftEdgeIsThatOfTheMonitorTheCharacterStandsOn)
{
    const double W = 193 * 15.0; // the calendar
    // Just inside B, which starts at 1280: no room on B, so to the right rather than across the seam.
    auto p = PlaceBeside(1290, 300, 128, W, 15, 15, 1280);
    EXPECT_EQ(p.gestureX, 1418);
    EXPECT_DOUBLE_EQ(p.leftTwips / 15, 1418);
    // Room on B: flush to the left, as on one monitor, and exactly enough room ends at B's edge.
    EXPECT_EQ(PlaceBeside(1500, 300, 128, W, 15, 15, 1280).gestureX, 1307);
    EXPECT_DOUBLE_EQ(PlaceBeside(1473, 300, 128, W, 15, 15, 1280).leftTwips / 15, 1280);
    // A monitor left of the primary one starts at a negative x.
    EXPECT_EQ(PlaceBeside(-1000, 0, 128, W, 15, 15, -1280).gestureX, -1193);
    EXPECT_EQ(PlaceBeside(-1200, 0, 128, W, 15, 15, -1280).gestureX, -1072);

    // The window is moved and a gesture queued each time it runs.
    character::Character& genie = *mainAgentA;
    QWidget dialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    dialog.setFixedSize(216, 150);

    // Left of the character where it fits, exactly included, else right; only the screen's left edge counts.
    genie.setTop(500);
    QStringList placed;
    for (int left : {100, 300, 216, 216, 5000}) {
        genie.setLeft(left);
        character::PlaceDialogBesideCharacter(dialog, genie, t.screen);
        placed << QStringLiteral("%1,%2").arg(dialog.frameGeometry().x()).arg(dialog.frameGeometry().y());
    }
    EXPECT_EQ(placed, QStringList({"228,500", "84,500", "0,500", "0,500", "4784,500"}));
    // Running it again without a move still points again.
    EXPECT_EQ(carriedOut(), placed.replaceInStrings(QRegularExpression("^"), "Gesture:"));

    // The twips are read afresh: at 12 twips per pixel the same window measures fewer twips.
    genie.setLeft(300);
    character::PlaceDialogBesideCharacter(dialog, genie, platform::FixedScreenMetrics(12, 10));
    EXPECT_EQ(dialog.frameGeometry().topLeft(), QPoint(84, 500));
}
