// Frames of the character already drawn, so a pose shown again costs no drawing.
#pragma once
#include "CharacterFile.h"
#include "PackedFrame.h"

#include <QSet>
#include <list>
#include <optional>

namespace character {

// The most recently shown frames, up to a memory budget; the least recently shown go first. A frame
// is kept from its second drawing on: one-off moves, like the entrance, hold no memory afterwards.
// Kept frames are packed, and unpacked each time they are found.
class FrameCache {
public:
    explicit FrameCache(qsizetype budgetBytes) : budget_(budgetBytes) {}

    // The frame drawn for this pose at this scale and edge, if it is still kept; it is then the
    // most recent.
    std::optional<desktop::Silhouette> find(const Pose& pose, qreal scale, bool compositing);
    // Keeps the frame if this pose was drawn before, and gives it back.
    desktop::Silhouette insert(const Pose& pose, qreal scale, bool compositing, desktop::Silhouette frame);

private:
    struct Entry {
        size_t hash; // of the pose: most entries are passed over on it alone
        Pose pose;
        qreal scale;
        bool compositing;
        PackedFrame frame;
    };
    std::list<Entry> entries_; // most recent first
    QSet<size_t> drawnOnce_;   // poses, with scale and edge, drawn but not kept
    qsizetype bytes_ = 0;
    qsizetype budget_;
};

} // namespace character
