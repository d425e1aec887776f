// Drawn frames: what a shaped window shows of them, and drawing only what moved.
#include "character/FrameCache.h"
#include "character/PackedFrame.h"
#include "character/Renderer.h"
#include "desktop/Silhouette.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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

// Drawing only where parts moved must give the very pixels of drawing afresh, at any scale; a frame is
// kept from its second drawing on, so a move shown once, like the entrance, holds no memory.
TEST(Frames, AFrameDrawnOverTheOneBeforeIsTheFrameDrawnAfreshAndIsKeptOnceDrawnTwice)
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
    // A kept frame comes back pixel for pixel, at its resolution, where it stood and with its shape.
    auto same = [](const std::optional<desktop::Silhouette>& kept, const desktop::Silhouette& drawn) {
        return kept && kept->image == drawn.image && kept->image.devicePixelRatio() == drawn.image.devicePixelRatio() &&
               kept->offset == drawn.offset && kept->shape == drawn.shape && kept->size == drawn.size;
    };
    character::FrameCache cache(1 << 20);
    for (const bool compositing : {false, true}) {
        const desktop::Silhouette drawn = desktop::Silhouette::of(renderer.render(pose("magic1a"), 2), data.size, compositing);
        cache.insert(pose("magic1a"), 2, compositing, drawn);
        cache.insert(pose("magic1a"), 2, compositing, drawn);
        EXPECT_TRUE(same(cache.find(pose("magic1a"), 2, compositing), drawn) && drawn.image.devicePixelRatio() == 2);
    }
    // A frame that is the one before with the eyes or an arm moved is kept at once, packed as the
    // difference from it, and comes back as drawn: the outline shared, the arms out past the frame
    // before, at both resolutions, with the frame before dropped from a cache too small for both.
    for (const qreal scale : {1.0, 2.0})
        for (const char* name : {"lookLeft", "blink", "stretch"}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale));
            character::FrameCache small(1);
            auto draw = [&](const character::Pose& p) {
                const desktop::Silhouette drawn = desktop::Silhouette::of(renderer.render(p, scale), data.size, false);
                small.insert(p, scale, false, drawn);
                return drawn;
            };
            draw(rest);
            EXPECT_FALSE(small.find(rest, scale, false));
            const desktop::Silhouette restAgain = draw(rest);
            EXPECT_TRUE(same(small.find(rest, scale, false), restAgain));
            EXPECT_FALSE(small.find(rest, 3 - scale, false) || small.find(rest, scale, true));
            desktop::Silhouette drawn = draw(pose(name));
            if (std::string(name) == "stretch" && !small.find(pose(name), scale, false))
                drawn = draw(pose(name)); // it may differ from the rest pose too much
            EXPECT_TRUE(same(small.find(pose(name), scale, false), drawn));
            EXPECT_FALSE(small.find(rest, scale, false)) << "over the budget";
        }
    // A move that returns passes through the poses it went through, ending on the poses themselves.
    for (const int steps : {5, 15, 16})
        for (int step = 0; step <= steps; ++step) {
            const character::Pose there = character::Renderer::blend(rest, pose("stretch"), step, steps);
            const character::Pose back = character::Renderer::blend(pose("stretch"), rest, steps - step, steps);
            EXPECT_TRUE(there.parts == back.parts || 2 * step == steps) << step << " of " << steps;
            EXPECT_TRUE(step % steps || there.parts == (step ? pose("stretch") : rest).parts) << step;
        }
    const auto lookLeft = desktop::Silhouette::of(renderer.render(pose("lookLeft"), 1), data.size, false);
    EXPECT_LT(character::PackedFrame(lookLeft, std::make_shared<const character::PackedFrame>(
                                                   desktop::Silhouette::of(renderer.render(rest, 1), data.size, false)))
                  .bytes(),
              character::PackedFrame(lookLeft).bytes() / 10);
    // So does the worst a packing meets: a pixel unlike its neighbours, and one in three alike, over
    // more pixels than one span holds.
    QImage noise(300, 300, QImage::Format_ARGB32_Premultiplied), thirds(noise);
    for (int i = 0; i < 300 * 300; ++i) {
        reinterpret_cast<QRgb*>(noise.bits())[i] = qPremultiply(QRgb(i * 2654435761u));
        reinterpret_cast<QRgb*>(thirds.bits())[i] = i % 3 ? 0xff000000 : qRgb(i, i, i);
    }
    for (const QImage& image : {noise, thirds})
        EXPECT_EQ(character::PackedFrame(desktop::Silhouette{image, {}, {}, {}}).unpacked()->image, image);
}
