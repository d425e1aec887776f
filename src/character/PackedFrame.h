// A kept frame in run-length form: the figure is flat colour, so a third of the memory at 1x and a
// fifth at 2x.
#pragma once
#include "desktop/Silhouette.h"

#include <QByteArray>
#include <optional>

namespace character {

class PackedFrame {
public:
    explicit PackedFrame(const desktop::Silhouette& frame);

    // The frame as it was given; none where its image cannot be had (out of memory).
    std::optional<desktop::Silhouette> unpacked() const;
    qsizetype bytes() const { return runs_.size() + shape_.rectCount() * qsizetype(sizeof(QRect)); }

private:
    QByteArray runs_; // the image's premultiplied pixels, row after row, as repeats and literal spans
    QSize imageSize_;
    qreal ratio_;
    QPoint offset_;
    QRegion shape_;
    QSize size_;
};

} // namespace character
