// A kept frame in run-length form: the figure is flat colour, so a third of the memory at 1x and a
// fifth at 2x, and far less for a frame that differs from one kept before only in a few parts.
#pragma once
#include "desktop/Silhouette.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace character {

class PackedFrame {
public:
    // With `base`, a frame of the same size kept before, only the box where the two differ is packed,
    // when it is small enough to be worth it; the rest comes from `base` when unpacked.
    explicit PackedFrame(const desktop::Silhouette& frame, std::shared_ptr<const PackedFrame> base = {});
    // `frame` packed against `base`; none where it differs from it too much for that.
    static std::shared_ptr<const PackedFrame> over(const desktop::Silhouette& frame,
                                                   std::shared_ptr<const PackedFrame> base);

    // The frame as it was given; none where its image cannot be had (out of memory).
    std::optional<desktop::Silhouette> unpacked() const;
    // Its own bytes, a base it shares aside.
    qsizetype bytes() const { return bytes_; }
    // Packed whole: it can be the base of others.
    bool whole() const { return !base_; }

private:
    PackedFrame(const desktop::Silhouette& frame, std::shared_ptr<const PackedFrame> base, std::optional<QRect> patch);
    static std::optional<QRect> patchOver(const desktop::Silhouette& frame, const PackedFrame* base);

    QByteArray runs_; // the pixels of `patch_`, row after row, as repeats and literal spans
    QRect patch_;     // in the image's own pixels: all of it, or where it differs from the base's
    std::shared_ptr<const PackedFrame> base_;
    QSize imageSize_;
    qreal ratio_;
    QPoint offset_;
    QRegion shape_;
    QSize size_;
    qsizetype bytes_;
};

} // namespace character
