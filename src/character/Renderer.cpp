// Draws the character in a pose, and the shape the user can click.
#include "Renderer.h"

#include <QPainter>
#include <QTransform>

namespace character {

Pose Renderer::blend(const Pose& from, const Pose& to, float t)
{
    Pose p = to;
    auto mix = [t](float a, float b) { return a + (b - a) * t; };
    for (size_t i = 0; i < p.parts.size() && i < from.parts.size(); ++i) {
        PartPose& q = p.parts[i];
        const PartPose& a = from.parts[i];
        q.rotate = mix(a.rotate, q.rotate);
        q.dx = mix(a.dx, q.dx);
        q.dy = mix(a.dy, q.dy);
        q.scale = mix(a.scale, q.scale);
        // A part that appears or disappears switches halfway, so it never pops in at the first step.
        q.visible = t < 0.5f ? a.visible : q.visible;
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

QImage Renderer::render(const Pose& pose) const
{
    QImage image(data_.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (pose.opacity <= 0 || pose.figureScale <= 0)
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(pose.opacity);

    // The figure scales about its bottom centre, where the smoke tail ends.
    const QPointF anchor(data_.size.width() / 2.0, data_.size.height());
    QTransform figure;
    figure.translate(anchor.x() + pose.figureDx, anchor.y() + pose.figureDy);
    figure.scale(pose.figureScale, pose.figureScale);
    figure.translate(-anchor.x(), -anchor.y());

    std::vector<QTransform> transforms(data_.parts.size());
    std::vector<bool> visible(data_.parts.size());
    for (size_t i = 0; i < data_.parts.size(); ++i) {
        const Part& part = data_.parts[i];
        const PartPose& pp = i < pose.parts.size() ? pose.parts[i] : PartPose{};
        QTransform local;
        local.translate(part.pivot.x() + pp.dx, part.pivot.y() + pp.dy);
        local.rotate(pp.rotate);
        local.scale(pp.scale, pp.scale);
        local.translate(-part.pivot.x(), -part.pivot.y());
        const bool hasParent = part.parent >= 0 && size_t(part.parent) < i;
        transforms[i] = local * (hasParent ? transforms[part.parent] : figure);
        visible[i] = pp.visible && (!hasParent || visible[part.parent]);
        if (!visible[i])
            continue;
        painter.setTransform(transforms[i]);
        for (const Shape& s : part.shapes) {
            painter.setBrush(s.fill ? QBrush(*s.fill) : QBrush(Qt::NoBrush));
            if (s.stroke && s.strokeWidth > 0) {
                QPen pen(*s.stroke, s.strokeWidth);
                pen.setJoinStyle(Qt::RoundJoin);
                pen.setCapStyle(Qt::RoundCap);
                painter.setPen(pen);
            } else {
                painter.setPen(Qt::NoPen);
            }
            painter.drawPath(s.path);
        }
    }
    return image;
}

QBitmap Renderer::maskOf(const QImage& image)
{
    QImage mask(image.size(), QImage::Format_MonoLSB);
    mask.setColor(0, 0xffffffff); // Qt bitmaps: colour 0 is "transparent"
    mask.setColor(1, 0xff000000);
    mask.fill(0);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) > 0)
                mask.setPixel(x, y, 1);
    }
    return QBitmap::fromImage(mask);
}

} // namespace character
