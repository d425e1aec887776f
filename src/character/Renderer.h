// Draws the character in a pose, and the shape the user can click.
#pragma once
#include "CharacterFile.h"

#include <QImage>
#include <QRect>
#include <QTransform>
#include <vector>

namespace character {

// Draws the character in a pose. Poses between two frames are blended part by part.
class Renderer {
public:
    explicit Renderer(const CharacterData& data);

    // `step` of `steps` on the way from `from` to `to`. The way back passes through the very same
    // poses, so a move that returns shows frames already drawn.
    static Pose blend(const Pose& from, const Pose& to, int step, int steps);
    void applyOverlay(Pose& pose, const Overlay& overlay) const;

    // At `scale` device pixels per logical pixel: the vector art drawn afresh, not enlarged.
    QImage render(const Pose& pose, qreal scale = 1) const;
    // Where, in device pixels, `to` looks different from `from`: the parts that moved, came or went.
    QRect changedArea(const Pose& from, const Pose& to, qreal scale) const;
    // Draws `pose` over `image`, a frame rendered before, within `area` only: the same pixels as
    // rendering it afresh, for a part of the cost.
    void renderInto(QImage& image, const Pose& pose, const QRect& area) const;

private:
    struct Placed {
        QTransform transform; // part to device pixels
        bool visible;
    };
    std::vector<Placed> place(const Pose& pose, qreal scale) const;
    QRect deviceBounds(size_t part, const QTransform& transform) const;
    QRect shapeBounds(size_t part, size_t shape, const QTransform& transform) const;
    void paint(QImage& image, const Pose& pose, qreal scale, const QRect& area) const;

    const CharacterData& data_;
    // Each shape's stroke as an area, made once: filling it costs far less than stroking anew.
    std::vector<std::vector<QPainterPath>> outlines_;
    std::vector<std::vector<QRectF>> bounds_; // each shape with its stroke, in the part's own units
};

} // namespace character
