// Shows a pose on the character's window, drawing only what changed and reusing frames drawn before.
#include "FigureDrawing.h"

#include "CharacterWindow.h"

namespace character {

namespace {
// Room for about 1,700 frames at 1x or 700 at 2x, packed (about 14 and 35 KB each): every idle move
// and the usual requests.
constexpr qsizetype frameCacheBytes = 24 << 20;
} // namespace

FigureDrawing::FigureDrawing(const CharacterData& data, CharacterWindow& window)
    : data_(data), window_(window), renderer_(data), cache_(frameCacheBytes)
{
}

void FigureDrawing::show(Pose p, const std::vector<const Overlay*>& overlays)
{
    for (const Overlay* o : overlays)
        renderer_.applyOverlay(p, *o);
    // Held poses and repeated frames draw nothing new: the window and its shape stay as they are.
    const qreal scale = window_.scale();
    const bool compositing = window_.compositing();
    if (drawn_ == p && drawnScale_ == scale && drawnCompositing_ == compositing)
        return;
    // The whole figure moves by whole device pixels, so a frame it only moves in is one already
    // drawn, shifted: a bob or a hop draws nothing new.
    const QPoint shift(qRound(p.figureDx * scale), qRound(p.figureDy * scale));
    Pose still = p;
    still.figureDx = still.figureDy = 0;
    std::optional<desktop::Silhouette> frame = cache_.find(still, scale, compositing);
    if (!frame)
        frame = cache_.insert(still, scale, compositing,
                              desktop::Silhouette::of(draw(still, scale), data_.size, compositing));
    // Where the frame differs from the one shown is known from the parts alone, unless the figure
    // as a whole moved.
    std::optional<QRect> changed;
    if (drawn_ && drawnScale_ == scale && drawnCompositing_ == compositing && drawnShift_ == shift)
        changed = renderer_.changedArea(drawnStill_, still, scale).translated(shift);
    window_.setSilhouette(shift.isNull() ? *frame : frame->shifted(shift), changed);
    drawnStill_ = std::move(still);
    drawnShift_ = shift;
    drawn_ = std::move(p);
    drawnScale_ = scale;
    drawnCompositing_ = compositing;
}

QImage FigureDrawing::draw(const Pose& pose, qreal scale)
{
    // Most frames differ from the one drawn before in a few parts (the eyes, a hand, the mouth):
    // only where those were and are now is drawn again, into the same image. A new image for each
    // frame would leave the heap full of frame-sized holes.
    if (!lastDrawn_.isNull() && lastDrawn_.devicePixelRatio() == scale)
        renderer_.renderInto(lastDrawn_, pose, renderer_.changedArea(lastPose_, pose, scale));
    else
        lastDrawn_ = renderer_.render(pose, scale);
    lastPose_ = pose;
    return lastDrawn_;
}

} // namespace character
