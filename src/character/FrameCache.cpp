// Frames of the character already drawn, so a pose shown again costs no drawing.
#include "FrameCache.h"

#include <QHash>

namespace character {

namespace {
constexpr qsizetype maxDrawnOnce = 4096; // far more poses than a character shows; 100 KB at most

size_t hashOf(const Pose& pose)
{
    size_t h = qHashMulti(0, pose.figureDx, pose.figureDy, pose.figureScale, pose.opacity);
    for (const PartPose& p : pose.parts)
        h = qHashMulti(h, p.rotate, p.dx, p.dy, p.scale, p.visible);
    return h;
}

// A pose's name plays no part in how it is drawn.
bool drawnAlike(const Pose& a, const Pose& b)
{
    return a.parts == b.parts && a.figureDx == b.figureDx && a.figureDy == b.figureDy &&
           a.figureScale == b.figureScale && a.opacity == b.opacity;
}
} // namespace

std::optional<desktop::Silhouette> FrameCache::find(const Pose& pose, qreal scale, bool compositing)
{
    const size_t hash = hashOf(pose);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->hash != hash || it->scale != scale || it->compositing != compositing || !drawnAlike(it->pose, pose))
            continue;
        if (std::optional<desktop::Silhouette> frame = it->frame->unpacked()) {
            if (it->frame->whole())
                base_ = it->frame;
            entries_.splice(entries_.begin(), entries_, it);
            return frame;
        }
        // Drawn again instead, and kept again.
        bytes_ -= it->frame->bytes();
        entries_.erase(it);
        break;
    }
    return std::nullopt;
}

desktop::Silhouette FrameCache::insert(const Pose& pose, qreal scale, bool compositing, desktop::Silhouette frame)
{
    const size_t hash = hashOf(pose);
    std::shared_ptr<const PackedFrame> packed;
    // A hash seen twice may be two poses that share it: then one frame is kept a drawing early.
    if (const size_t drawn = qHashMulti(hash, scale, compositing); !drawnOnce_.contains(drawn)) {
        packed = PackedFrame::over(frame, base_);
        if (!packed) {
            if (drawnOnce_.size() >= maxDrawnOnce)
                drawnOnce_.clear();
            drawnOnce_.insert(drawn);
            return frame;
        }
    } else {
        packed = std::make_shared<const PackedFrame>(frame, base_);
    }
    if (packed->whole())
        base_ = packed;
    entries_.push_front(Entry{hash, pose, scale, compositing, std::move(packed)});
    bytes_ += entries_.front().frame->bytes();
    // The newest frame stays even when it alone is over the budget: it is the one on screen.
    while (bytes_ > budget_ && entries_.size() > 1) {
        bytes_ -= entries_.back().frame->bytes();
        entries_.pop_back();
    }
    return frame;
}

} // namespace character
