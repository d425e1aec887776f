// Draws the character in a pose, and the shape the user can click.
#include "Renderer.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace character {

Renderer::Renderer(const CharacterData& data) : data_(data)
{
    outlines_.resize(data.parts.size());
    bounds_.resize(data.parts.size());
    for (size_t i = 0; i < data.parts.size(); ++i)
        for (const Shape& s : data.parts[i].shapes) {
            QPainterPath outline;
            if (s.stroke && s.strokeWidth > 0) {
                QPainterPathStroker stroker;
                stroker.setWidth(s.strokeWidth);
                stroker.setJoinStyle(Qt::RoundJoin);
                stroker.setCapStyle(Qt::RoundCap);
                outline = stroker.createStroke(s.path);
            }
            bounds_[i].push_back(s.path.controlPointRect() | outline.controlPointRect());
            outlines_[i].push_back(outline);
        }
}

Pose Renderer::blend(const Pose& from, const Pose& to, int step, int steps)
{
    Pose p = to;
    steps = std::max(1, steps);
    step = std::clamp(step, 0, steps);
    // Measured from the lower value whichever way the move goes; the ends are the poses themselves.
    auto mix = [step, steps](float a, float b) {
        const float low = std::min(a, b), high = std::max(a, b);
        const int fromLow = a <= b ? step : steps - step;
        return fromLow == steps ? high : low + (high - low) * (float(fromLow) / float(steps));
    };
    for (size_t i = 0; i < p.parts.size() && i < from.parts.size(); ++i) {
        PartPose& q = p.parts[i];
        const PartPose& a = from.parts[i];
        q.rotate = mix(a.rotate, q.rotate);
        q.dx = mix(a.dx, q.dx);
        q.dy = mix(a.dy, q.dy);
        q.scale = mix(a.scale, q.scale);
        // A part that appears or disappears switches halfway, so it never pops in at the first step.
        q.visible = 2 * step < steps ? a.visible : q.visible;
    }
    p.figureDx = mix(from.figureDx, to.figureDx);
    p.figureDy = mix(from.figureDy, to.figureDy);
    p.figureScale = mix(from.figureScale, to.figureScale);
    p.opacity = mix(from.opacity, to.opacity);
    return p;
}

void Renderer::applyOverlay(Pose& pose, const Overlay& overlay) const
{
    for (const auto& [part, shown] : overlay.visibility)
        if (part >= 0 && size_t(part) < pose.parts.size())
            pose.parts[part].visible = shown;
}

std::vector<Renderer::Placed> Renderer::place(const Pose& pose, qreal scale) const
{
    // The figure scales about its bottom centre, where the smoke tail ends.
    const QPointF anchor(data_.size.width() / 2.0, data_.size.height());
    QTransform figure;
    figure.translate(anchor.x() + pose.figureDx, anchor.y() + pose.figureDy);
    figure.scale(pose.figureScale, pose.figureScale);
    figure.translate(-anchor.x(), -anchor.y());
    figure *= QTransform::fromScale(scale, scale);

    std::vector<Placed> placed(data_.parts.size());
    for (size_t i = 0; i < data_.parts.size(); ++i) {
        const Part& part = data_.parts[i];
        const PartPose& pp = i < pose.parts.size() ? pose.parts[i] : PartPose{};
        QTransform local;
        local.translate(part.pivot.x() + pp.dx, part.pivot.y() + pp.dy);
        local.rotate(pp.rotate);
        local.scale(pp.scale, pp.scale);
        local.translate(-part.pivot.x(), -part.pivot.y());
        const bool hasParent = part.parent >= 0 && size_t(part.parent) < i;
        placed[i].transform = local * (hasParent ? placed[part.parent].transform : figure);
        placed[i].visible = pp.visible && (!hasParent || placed[part.parent].visible);
    }
    return placed;
}

QRect Renderer::deviceBounds(size_t part, const QTransform& transform) const
{
    QRect r;
    for (size_t k = 0; k < data_.parts[part].shapes.size(); ++k)
        r |= shapeBounds(part, k, transform);
    return r;
}

// The device pixels a shape can change, its anti-aliased edge included; none for a shape without extent.
QRect Renderer::shapeBounds(size_t part, size_t shape, const QTransform& transform) const
{
    const QRect box = transform.mapRect(bounds_[part][shape]).toAlignedRect();
    return box.isNull() ? box : box.adjusted(-1, -1, 1, 1);
}

void Renderer::paint(QImage& image, const Pose& pose, qreal scale, const QRect& area) const
{
    if (pose.opacity <= 0 || pose.figureScale <= 0)
        return;
    // Painted in device pixels, so that drawing a part of the frame gives the very pixels drawing
    // all of it would.
    const qreal ratio = image.devicePixelRatio();
    image.setDevicePixelRatio(1);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(pose.opacity);
        painter.setClipRect(area);
        painter.setPen(Qt::NoPen);
        const std::vector<Placed> placed = place(pose, scale);
        for (size_t i = 0; i < placed.size(); ++i) {
            if (!placed[i].visible)
                continue;
            painter.setTransform(placed[i].transform);
            const Part& part = data_.parts[i];
            for (size_t k = 0; k < part.shapes.size(); ++k) {
                const Shape& s = part.shapes[k];
                if (!shapeBounds(i, k, placed[i].transform).intersects(area))
                    continue;
                if (s.fill)
                    painter.fillPath(s.path, *s.fill);
                if (!outlines_[i][k].isEmpty())
                    painter.fillPath(outlines_[i][k], *s.stroke);
            }
        }
    }
    image.setDevicePixelRatio(ratio);
}

QImage Renderer::render(const Pose& pose, qreal scale) const
{
    QImage image(QSize(int(std::ceil(data_.size.width() * scale)), int(std::ceil(data_.size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    paint(image, pose, scale, image.rect());
    return image;
}

void Renderer::renderInto(QImage& image, const Pose& pose, const QRect& area) const
{
    const QRect clear = area.intersected(image.rect());
    for (int y = clear.top(); y <= clear.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + clear.left(), row + clear.right() + 1, QRgb(0));
    }
    paint(image, pose, image.devicePixelRatio(), clear);
}

QRect Renderer::changedArea(const Pose& from, const Pose& to, qreal scale) const
{
    const QRect frame(QPoint(0, 0), QSize(int(std::ceil(data_.size.width() * scale)),
                                          int(std::ceil(data_.size.height() * scale))));
    if (from.figureDx != to.figureDx || from.figureDy != to.figureDy || from.figureScale != to.figureScale ||
        from.opacity != to.opacity)
        return frame;
    const std::vector<Placed> a = place(from, scale), b = place(to, scale);
    QRect changed;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].visible == b[i].visible && (!a[i].visible || a[i].transform == b[i].transform))
            continue;
        if (a[i].visible)
            changed |= deviceBounds(i, a[i].transform);
        if (b[i].visible)
            changed |= deviceBounds(i, b[i].transform);
    }
    return changed.intersected(frame);
}

} // namespace character
