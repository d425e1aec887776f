// Drawn frames: what a shaped window shows of them, the frame cache, and drawing only what moved.
#include "character/AnimationPlayer.h"
#include "character/CharacterWindow.h"
#include "character/FrameCache.h"
#include "character/Renderer.h"
#include "desktop/Silhouette.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using desktop::Silhouette;

namespace {
character::CharacterData genie()
{
    auto loaded = character::ReadCharacterFile(testsupport::sourceDir() + "/assets/Genie.acs");
    if (!loaded)
        throw std::runtime_error(loaded.why().toStdString());
    return std::move(*loaded);
}
} // namespace

TEST(Frames, WithoutACompositorTheEdgeIsCutAtHalfCoverAndShownInItsOwnColour)
{
    // A red edge fading out to the left: a quarter covered, three quarters, all.
    QImage drawn(4, 2, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    for (int y = 0; y < 2; ++y) {
        drawn.setPixel(1, y, qRgba(64, 0, 0, 64));
        drawn.setPixel(2, y, qRgba(191, 0, 0, 191));
        drawn.setPixel(3, y, qRgba(255, 0, 0, 255));
    }
    const desktop::Silhouette cut = desktop::Silhouette::of(drawn, {4, 2}, false);
    EXPECT_EQ(cut.shape, QRegion(2, 0, 2, 2));
    EXPECT_EQ(cut.offset, QPoint(2, 0));
    EXPECT_EQ(cut.image.pixel(0, 1), qRgba(255, 0, 0, 255)) << "a dark fringe";
    EXPECT_EQ(cut.size, QSize(4, 2));
    // A compositor blends every drawn pixel: all of them belong to the window, as drawn.
    const desktop::Silhouette blended = desktop::Silhouette::of(drawn, {4, 2}, true);
    EXPECT_EQ(blended.shape, QRegion(1, 0, 3, 2));
    EXPECT_EQ(blended.image.pixel(0, 0), qRgba(64, 0, 0, 64)); // premultiplied, as drawn
}

// Drawing only where parts moved must give the very pixels of drawing afresh, at any scale.
TEST(Frames, AFrameDrawnOverTheOneBeforeIsTheFrameDrawnAfresh)
{
    const character::CharacterData data = genie();
    const character::Renderer renderer(data);
    auto pose = [&](const char* name) {
        character::Pose p = data.poses[size_t(data.pose(QLatin1String(name)))];
        p.figureDx = p.figureDy = 0; // as the player draws them: the figure's moves are shifts
        return p;
    };
    const character::Pose rest = pose("rest");
    for (qreal scale : {1.0, 1.5, 2.0})
        for (const char* name : {"lookLeft", "blink", "stretch", "pointLeft", "magic1a", "search1"}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale));
            const character::Pose to = pose(name);
            QImage over = renderer.render(rest, scale);
            renderer.renderInto(over, to, renderer.changedArea(rest, to, scale));
            EXPECT_EQ(over, renderer.render(to, scale));
        }
    // A look aside is the eyes only.
    const QRect eyes = renderer.changedArea(rest, pose("lookLeft"), 2);
    EXPECT_FALSE(eyes.isEmpty());
    EXPECT_LT(eyes.width() * eyes.height(), 256 * 320 / 20);
}

// The cache keeps the most recently shown frames within its budget. Idling must cost next to no
// drawing: a replayed move is found drawn, and a bob is a shifted frame.
TEST(Frames, AMovePlayedAgainIsShownFromTheCache)
{
    QImage frame(10, 10, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::red);
    const desktop::Silhouette s = desktop::Silhouette::of(frame, {10, 10}, false);
    character::FrameCache cache(2 * s.bytes());
    character::Pose a, b, c;
    b.figureDy = 1;
    c.figureDy = 2;
    cache.insert(a, 1, false, s);
    cache.insert(b, 1, false, s);
    EXPECT_NE(cache.find(a, 1, false), nullptr); // a is the most recent now
    EXPECT_EQ(cache.find(a, 2, false), nullptr); // another scale is another frame
    EXPECT_EQ(cache.find(a, 1, true), nullptr);  // and so is another edge
    cache.insert(c, 1, false, s);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_NE(cache.find(a, 1, false), nullptr);
    EXPECT_EQ(cache.find(b, 1, false), nullptr);
    EXPECT_LE(cache.bytes(), 2 * s.bytes());

    const character::CharacterData data = genie();
    character::CharacterWindow window(QStringLiteral("Genie"));
    character::AnimationPlayer player(data, window, 0.25, 20);
    auto play = [&](const char* name) {
        bool done = false;
        player.play(*data.animation(QLatin1String(name)), [&] { done = true; });
        return testsupport::waitUntil([&] { return done; });
    };
    const size_t atRest = player.framesDrawn();
    ASSERT_TRUE(play("Idle4")); // stretching: arms, eyes and mouth change
    const size_t stretched = player.framesDrawn();
    EXPECT_GT(stretched - atRest, 8u) << "the move was not tweened";
    ASSERT_TRUE(play("Idle4"));
    const size_t replayed = player.framesDrawn();
    // A late timer may land on a step the first play passed over; not on most of them.
    EXPECT_LE(replayed - stretched, 2u);
    ASSERT_TRUE(play("Idle3")); // bobbing: the figure moves up and down as it is
    EXPECT_EQ(player.framesDrawn(), replayed) << "a bob drew frames of its own";
}
