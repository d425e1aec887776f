// The character on the screens users have: twice the resolution, and two monitors side by side.
#include "DesktopTest.h"

#include <algorithm>

#include <gtest/gtest.h>

using namespace e2e;

// ---- twice the resolution ----

namespace {

class HighResolution : public DesktopTest {
protected:
    // A screenshot once `area` shows something drawn: a window is painted a moment after it is shown.
    static QImage shotOnceDrawn(const QRect& area, const QString& name)
    {
        QImage screen;
        WaitUntil([&] {
            screen = desktop->screenshot(shot(name));
            return !screen.isNull() && drawnIn(screen, area).width() > area.width() / 3;
        }, 5000, 50);
        return screen;
    }
    // The bounding box of what differs from the desktop in `area`.
    static QRect drawnIn(const QImage& screen, const QRect& area)
    {
        QRect box;
        const QRect r = area.intersected(screen.rect());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (screen.pixel(x, y) != Background)
                    box |= QRect(x, y, 1, 1);
        return box;
    }
    // Drawn pixels beside the desktop that `counted` picks by colour (a dark fringe, a missing outline).
    static int edgePixels(const QImage& screen, const QRect& area, const std::function<bool(QRgb)>& counted)
    {
        return CountPixels(area.intersected(screen.rect().adjusted(1, 1, -1, -1)), [&](int x, int y) {
            const auto bare = [&](int dx, int dy) { return screen.pixel(x + dx, y + dy) == Background; };
            return !bare(0, 0) && (bare(-1, 0) || bare(1, 0) || bare(0, -1) || bare(0, 1)) && counted(screen.pixel(x, y));
        });
    }
    static bool nearBlack(QRgb c) { return std::max({qRed(c), qGreen(c), qBlue(c)}) < 20; }
};

} // namespace

TEST_F(HighResolution, AtTwiceTheResolutionAllIsDrawnAfreshWithoutAFringeAndLinesUpInLogicalPixels)
{
    // At the top of the screen the balloon opens below the figure, clear of the clock.
    const QRect place(100, 0, 128, 160);
    SeedPlace(home.path(), place.topLeft());
    QImage one;
    {
        Varrow v(*desktop, home.path());
        ASSERT_EQ(start(v), place);
        const QImage screen = shotOnceDrawn(place, "scale-1x");
        one = screen.copy(place);
        one.save(shot("figure-1x"));
        EXPECT_EQ(edgePixels(screen, place, nearBlack), 0) << "a dark fringe at 1x";
    }

    desktop->setScale(2);
    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    EXPECT_EQ(character, place) << "the place is kept in logical pixels";
    const QRect device(place.topLeft() * 2, place.size() * 2);
    const QImage screen = shotOnceDrawn(device, "scale-2x");
    const QImage two = screen.copy(device);
    two.save(shot("figure-2x"));
    // The figure stands where its logical place says, at twice the size.
    const QRect drawn = drawnIn(screen, device.adjusted(-20, -20, 20, 20));
    EXPECT_TRUE(device.contains(drawn)) << drawn.x() << "," << drawn.y() << " " << drawn.width() << "x" << drawn.height();
    const QRect drawnAt1x = drawnIn(one, one.rect());
    EXPECT_NEAR(drawn.width(), 2 * drawnAt1x.width(), 3);
    EXPECT_NEAR(drawn.height(), 2 * drawnAt1x.height(), 3);
    // Not the 1x figure enlarged in 2 x 2 steps: the edges and the lines inside are drawn finer.
    const QImage blocky = one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    blocky.save(shot("figure-1x-enlarged"));
    const int differing = ChangedPixels(two, blocky, two.rect());
    EXPECT_GT(differing, DrawnShare(two, two.rect()) * two.width() * two.height() / 25)
        << "the figure at 2x is its 1x drawing enlarged";
    EXPECT_EQ(edgePixels(screen, device, nearBlack), 0) << "a dark fringe at 2x";

    // The balloon: its outline whole at the corners and the tail, nowhere cut down to the fill.
    ASSERT_TRUE(v.pick(character.center(), "Say the time"));
    // Shot while the whole text stands in it, until it goes; its last place is in the trace. On a busy
    // machine the last words may reach the screen a moment after the speech has finished.
    ASSERT_TRUE(v.waitFor("finished Speak The time is now .*", 15000)) << v.trace().toStdString();
    std::vector<QImage> shots;
    std::optional<QRegularExpressionMatch> gone;
    while (!(gone = v.waitFor("window hidden The_time_is_now\\S* " + Geometry, 50)) && shots.size() < 40)
        shots.push_back(desktop->screenshot());
    ASSERT_TRUE(gone && !shots.empty()) << v.trace().toStdString();
    const QRect balloon(ParseGeometry(*gone, 1).topLeft() * 2, ParseGeometry(*gone, 1).size() * 2);
    auto outlineOf = [&](const QImage& s) { return edgePixels(s, balloon, [](QRgb c) { return qGray(c) < 0x90; }); };
    const QImage withBalloon = *std::max_element(shots.begin(), shots.end(),
                                                 [&](const QImage& a, const QImage& b) { return outlineOf(a) < outlineOf(b); });
    withBalloon.save(shot("balloon-2x"));
    withBalloon.copy(balloon).save(shot("balloon-2x-crop"));
    const int outline = outlineOf(withBalloon);
    EXPECT_GT(outline, 2 * (balloon.width() + balloon.height()) / 2) << "the balloon's outline is missing";
    EXPECT_EQ(edgePixels(withBalloon, balloon, [](QRgb c) { return qGray(c) >= 0x90; }), 0)
        << "the fill shows where the outline should be";

    // The window manager gives frames in device pixels; the clock, a drag and a dialog line up in logical ones.
    const QRect clock = desktop->settledFrame("Varrow");
    EXPECT_NEAR(clock.left(), 2 * (character.right() + 1 + 12), 1);
    EXPECT_NEAR(clock.top(), 2 * character.top(), 1);
    // 400 x 200 device pixels is 200 x 100 logical ones, which leaves room for the calendar on the left.
    desktop->drag(character.center() * 2, {400, 200});
    ASSERT_TRUE(v.waitFor("started Speak Yes Sir!")) << v.trace().toStdString();
    const QRect moved(QPoint(300, 100), character.size());
    EXPECT_EQ(SavedPlace(home.path()), moved.topLeft());
    ASSERT_TRUE(v.pick(moved.center(), "Show the Calendar"));
    ASSERT_TRUE(v.waitFor("window shown Calendar " + Geometry)) << v.trace().toStdString();
    const QRect calendar = desktop->settledFrame("Calendar");
    desktop->screenshot(shot("calendar-2x"));
    // Flush to the figure's left, tops level, to the device pixel the rounding of the frame allows.
    EXPECT_NEAR(calendar.right() + 1, 2 * moved.left(), 1);
    EXPECT_NEAR(calendar.top(), 2 * moved.top(), 1);
    ASSERT_TRUE(v.pick(moved.center(), "OK"));
    ASSERT_TRUE(v.waitFor("window hidden Calendar .*"));
}

// ---- two monitors ----

namespace {

// A on the left, the primary one, and B on its right: one wide screen split in two.
const QRect A(0, 0, 1280, 800), B(1280, 0, 1280, 800);

class TwoMonitors : public DesktopTest {
protected:
    static void SetUpTestSuite() { desktop = new Desktop(Kind::X11, QSize(2560, 800), {A, B}); }
};

} // namespace

// Just inside B, the figure, the clock and a dialog stand on B, not across the seam on A. (Where a place
// off every monitor goes, and the clock with no room on its right: the Monitors unit tests.)
TEST_F(TwoMonitors, TheFigureTheClockAndADialogStayOnOneMonitor)
{
    SeedPlace(home.path(), QPoint(1290, 300));
    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    ASSERT_EQ(character.topLeft(), QPoint(1290, 300));
    const QRect clock = desktop->settledFrame("Varrow");
    EXPECT_GT(DrawnShare(desktop->screenshot(shot("monitors-on-B")), character), 0.15) << "not drawn where it stands";
    EXPECT_TRUE(B.contains(clock)) << clock.x() << "," << clock.y();
    EXPECT_EQ(clock.left(), character.right() + 1 + 12);
    EXPECT_EQ(clock.top(), character.top());

    ASSERT_TRUE(v.pick(character.center(), "Show the Calendar"));
    ASSERT_TRUE(v.waitFor("window shown Calendar " + Geometry)) << v.trace().toStdString();
    const QRect calendar = desktop->settledFrame("Calendar");
    desktop->screenshot(shot("monitors-calendar-on-B"));
    EXPECT_TRUE(B.contains(calendar.topLeft())) << calendar.x() << "," << calendar.y();
    EXPECT_EQ(calendar.left(), character.right() + 1) << "not flush to the figure's right";
    EXPECT_EQ(calendar.top(), character.top());
    ASSERT_TRUE(v.pick(character.center(), "OK"));
    ASSERT_TRUE(v.waitFor("window hidden Calendar .*"));
}
