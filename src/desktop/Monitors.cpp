// The desktop's monitors as rectangles, and the rules that keep the character's windows on them.
#include "Monitors.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <algorithm>

namespace desktop {

namespace {
qint64 area(const QRect& r)
{
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

qint64 area(const QRegion& region)
{
    qint64 sum = 0;
    for (const QRect& r : region)
        sum += area(r);
    return sum;
}

// Squared distance between two rectangles; 0 when they touch or overlap.
qint64 distance2(const QRect& a, const QRect& b)
{
    const qint64 dx = std::max({0, b.left() - (a.right() + 1), a.left() - (b.right() + 1)});
    const qint64 dy = std::max({0, b.top() - (a.bottom() + 1), a.top() - (b.bottom() + 1)});
    return dx * dx + dy * dy;
}

// The left (or top) edge that puts `length` inside [low, low + room), or at `low` when it is longer.
int inside(int at, int length, int low, int room)
{
    return std::clamp(at, low, std::max(low, low + room - length));
}
} // namespace

Monitors Monitors::current()
{
    std::vector<Monitor> monitors;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        monitors.push_back({primary->geometry(), primary->availableGeometry()});
    for (const QScreen* s : QGuiApplication::screens())
        if (s != primary)
            monitors.push_back({s->geometry(), s->availableGeometry()});
    return Monitors(std::move(monitors));
}

const Monitor* Monitors::of(const QRect& r) const
{
    const Monitor* best = nullptr;
    qint64 bestArea = 0;
    for (const Monitor& m : monitors_) {
        const qint64 a = area(m.geometry.intersected(r));
        if (a > bestArea) {
            best = &m;
            bestArea = a;
        }
    }
    if (best)
        return best;
    qint64 bestDistance = 0;
    for (const Monitor& m : monitors_) {
        const qint64 d = distance2(m.geometry, r);
        if (!best || d < bestDistance) {
            best = &m;
            bestDistance = d;
        }
    }
    return best;
}

QPoint Monitors::keepOn(const QRect& figure) const
{
    QRegion desktop;
    for (const Monitor& m : monitors_)
        desktop += m.geometry;
    if (2 * area(desktop.intersected(figure)) >= area(figure))
        return figure.topLeft();
    const Monitor* m = of(figure);
    if (!m)
        return figure.topLeft();
    const QRect& a = m->available;
    return QPoint(inside(figure.left(), figure.width(), a.left(), a.width()),
                  inside(figure.top(), figure.height(), a.top(), a.height()));
}

QPoint Monitors::beside(const QRect& figure, QSize outer, int gap) const
{
    const Monitor* m = of(figure);
    if (!m)
        return QPoint(figure.right() + 1 + gap, figure.top());
    const QRect& a = m->available;
    const int right = figure.right() + 1 + gap;
    const int left = figure.left() - gap - outer.width();
    int x = right;
    if (right + outer.width() > a.right() + 1)
        x = left >= a.left() ? left : inside(right, outer.width(), a.left(), a.width());
    return QPoint(x, inside(figure.top(), outer.height(), a.top(), a.height()));
}

} // namespace desktop
