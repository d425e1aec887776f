// What a shaped window shows of a drawn image, and the shape that takes its clicks.
#include "Silhouette.h"

#include <algorithm>
#include <vector>

namespace desktop {

namespace {
// Covered at least this much (of 255), a pixel is inside the cut edge.
constexpr int halfCovered = 128;

// The runs of one row at or above `minAlpha`, as [start, end) pairs.
void runsOf(const QRgb* row, int width, int minAlpha, std::vector<int>& runs)
{
    runs.clear();
    int x = 0;
    while (x < width) {
        while (x < width && qAlpha(row[x]) < minAlpha)
            ++x;
        if (x == width)
            break;
        const int start = x;
        while (x < width && qAlpha(row[x]) >= minAlpha)
            ++x;
        runs.push_back(start);
        runs.push_back(x);
    }
}
} // namespace

Silhouette Silhouette::of(QImage drawn, QSize logicalSize, bool compositing)
{
    Silhouette s;
    s.size = logicalSize;
    if (drawn.format() != QImage::Format_ARGB32_Premultiplied)
        drawn.convertTo(QImage::Format_ARGB32_Premultiplied);
    const int minAlpha = compositing ? 1 : halfCovered;

    // Rows with the same runs as the row above widen its band instead of starting a new one, which
    // keeps the shape to a few hundred rectangles even at twice the resolution.
    std::vector<QRect> rects;
    std::vector<int> runs, bandRuns;
    // Every row's runs, for the cut below: row y's are from rowRuns[y] to rowRuns[y + 1].
    std::vector<int> allRuns;
    std::vector<size_t> rowRuns(size_t(drawn.height()) + 1, 0);
    size_t bandStart = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        runsOf(reinterpret_cast<const QRgb*>(drawn.constScanLine(y)), drawn.width(), minAlpha, runs);
        if (!compositing) {
            allRuns.insert(allRuns.end(), runs.begin(), runs.end());
            rowRuns[size_t(y) + 1] = allRuns.size();
        }
        if (y > 0 && runs == bandRuns) {
            for (size_t i = bandStart; i < rects.size(); ++i)
                rects[i].setBottom(y);
            continue;
        }
        bandRuns = runs;
        bandStart = rects.size();
        for (size_t i = 0; i < runs.size(); i += 2)
            rects.emplace_back(QPoint(runs[i], y), QPoint(runs[i + 1] - 1, y));
    }
    s.shape.setRects(rects.data(), int(rects.size()));
    // Kept frames hold only what is drawn: about half the box, and half the memory. The cut is made
    // before the edge is touched, so the drawing's own image, still in use, is never copied whole.
    const QRect drawnPart = s.shape.boundingRect();
    if (drawnPart == drawn.rect()) {
        s.image = std::move(drawn);
    } else {
        s.image = drawn.copy(drawnPart);
        s.offset = drawnPart.topLeft();
    }
    if (compositing)
        return s;
    // Cut pixels go transparent, kept ones opaque in their own colour.
    for (int y = 0; y < s.image.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(s.image.scanLine(y));
        const size_t drawnRow = size_t(y + s.offset.y());
        int x = 0;
        for (size_t i = rowRuns[drawnRow]; i < rowRuns[drawnRow + 1]; i += 2) {
            const int start = allRuns[i] - s.offset.x(), end = allRuns[i + 1] - s.offset.x();
            std::fill(row + x, row + start, QRgb(0));
            for (x = start; x < end; ++x) {
                const QRgb p = row[x];
                const int a = qAlpha(p);
                if (a != 255)
                    row[x] = qRgb(qRed(p) * 255 / a, qGreen(p) * 255 / a, qBlue(p) * 255 / a);
            }
        }
        std::fill(row + x, row + s.image.width(), QRgb(0));
    }
    return s;
}

Silhouette Silhouette::shifted(QPoint by) const
{
    Silhouette s = *this;
    s.offset += by;
    s.shape.translate(by);
    return s;
}

bool Silhouette::sameAs(const Silhouette& other) const
{
    return image.cacheKey() == other.image.cacheKey() && offset == other.offset && size == other.size &&
           shape == other.shape;
}

} // namespace desktop
