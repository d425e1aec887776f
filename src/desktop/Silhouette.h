// What a shaped window shows of a drawn image, and the shape that takes its clicks.
#pragma once
#include <QImage>
#include <QRegion>
#include <QSize>

namespace desktop {

// A drawn image made ready for a shaped window, in the image's own (device) pixels.
// With a compositor the window blends every drawn pixel with the desktop, so the shape is all of
// them. Without one the window's pixels are copied as they are: a half-covered edge pixel,
// premultiplied, would show as a dark fringe. There the shape keeps the pixels at least half
// covered and shows them in their full colour.
struct Silhouette {
    QImage image;  // what the window paints, with the device pixel ratio it was drawn at, cut down
                   // to what is drawn
    QPoint offset; // where `image` stands in the window, in device pixels
    QRegion shape; // the window's pixels that belong to it, in device pixels
    QSize size;    // the window's size in logical pixels

    // `drawn` is premultiplied ARGB; an image nobody else holds is reused for the result.
    static Silhouette of(QImage drawn, QSize logicalSize, bool compositing);
    // The same frame moved by `by` device pixels, sharing its image.
    Silhouette shifted(QPoint by) const;
    bool sameAs(const Silhouette& other) const;
};

} // namespace desktop
