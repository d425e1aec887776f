// Frames of the character already drawn, so a pose shown again costs no drawing.
#pragma once
#include "CharacterFile.h"
#include "PackedFrame.h"

#include <QSet>
#include <list>
#include <optional>

namespace character {

// The most recently shown frames, up to a memory budget; the least recently shown go first. Kept
// frames are packed, and unpacked each time they are found. A frame like the one kept or found before
// it (the eyes moved, an arm) is packed as the difference from that one and kept at once: it costs
// little, and a move that returns finds it on the way back. Any other frame is kept from its second
// drawing on, so that one-off moves, like the entrance, hold no memory afterwards.
class FrameCache {
public:
    explicit FrameCache(qsizetype budgetBytes) : budget_(budgetBytes) {}

    // The frame drawn for this pose at this scale and edge, if it is still kept; it is then the
    // most recent.
    std::optional<desktop::Silhouette> find(const Pose& pose, qreal scale, bool compositing);
    // Keeps the frame if this pose was drawn before or it costs little to keep, and gives it back.
    desktop::Silhouette insert(const Pose& pose, qreal scale, bool compositing, desktop::Silhouette frame);

private:
    struct Entry {
        size_t hash; // of the pose: most entries are passed over on it alone
        Pose pose;
        qreal scale;
        bool compositing;
        std::shared_ptr<const PackedFrame> frame;
    };
    std::list<Entry> entries_; // most recent first
    QSet<size_t> drawnOnce_;   // poses, with scale and edge, drawn but not kept
    // The whole frame last kept or found, which the next one kept is packed against. Held by the
    // frames packed against it, it outlives its entry: a frame's worth beyond the budget at most
    // for each base dropped.
    std::shared_ptr<const PackedFrame> base_;
    qsizetype bytes_ = 0;
    qsizetype budget_;
};

} // namespace character
