// A kept frame in run-length form: the figure is flat colour, so a third of the memory at 1x and a
// fifth at 2x.
#include "PackedFrame.h"

#include <algorithm>
#include <cstring>

namespace character {

namespace {
// Each record opens with a count: pixels to copy as they follow (the edge's blends), or, with this
// bit clear, times to repeat the one pixel that follows.
using Count = quint16;
constexpr Count literal = 0x8000;
constexpr qsizetype longest = literal - 1;

// Writes the records for `n` pixels and gives their size. Two pixels alike start a repeat, which
// pays for the count of the span before it: at most 4 bytes a pixel, and 2 for each span cut at the
// longest or at the end.
qsizetype encode(const QRgb* p, qsizetype n, char* out)
{
    char* const start = out;
    auto put = [&](const void* bytes, size_t length) {
        std::memcpy(out, bytes, length);
        out += length;
    };
    for (qsizetype i = 0; i < n;) {
        qsizetype j = i + 1;
        while (j < n && j - i < longest && p[j] == p[i])
            ++j;
        if (j - i == 1) {
            while (j < n && j - i < longest && (j + 1 == n || p[j + 1] != p[j]))
                ++j;
            const Count count = Count(literal | (j - i));
            put(&count, sizeof count);
            put(p + i, size_t(j - i) * sizeof(QRgb));
        } else {
            const Count count = Count(j - i);
            put(&count, sizeof count);
            put(p + i, sizeof(QRgb));
        }
        i = j;
    }
    return out - start;
}

// Reads the records of `n` pixels into `out`; gives where the next record starts.
const char* decode(const char* in, QRgb* out, qsizetype n)
{
    for (const QRgb* const end = out + n; out < end;) {
        Count count;
        std::memcpy(&count, in, sizeof count);
        in += sizeof count;
        if (count & literal) {
            const size_t bytes = (count & longest) * sizeof(QRgb);
            std::memcpy(out, in, bytes);
            out += count & longest;
            in += bytes;
        } else {
            QRgb pixel;
            std::memcpy(&pixel, in, sizeof pixel);
            out = std::fill_n(out, count, pixel);
            in += sizeof pixel;
        }
    }
    return in;
}

// Where, in `frame`'s image, its pixels differ from those of `base` at the same place in the window.
QRect differenceFrom(const desktop::Silhouette& frame, const desktop::Silhouette& base)
{
    const QRect there = base.image.rect().translated(base.offset);
    int top = -1, bottom = -1, left = frame.image.width(), right = -1;
    for (int y = 0; y < frame.image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(frame.image.constScanLine(y));
        const int wy = y + frame.offset.y();
        const QRgb* under = there.top() <= wy && wy <= there.bottom()
                                ? reinterpret_cast<const QRgb*>(base.image.constScanLine(wy - base.offset.y()))
                                : nullptr;
        auto differs = [&](int x) {
            const int wx = x + frame.offset.x();
            const QRgb b = under && there.left() <= wx && wx <= there.right() ? under[wx - base.offset.x()] : 0;
            return row[x] != b;
        };
        int x = 0;
        while (x < frame.image.width() && !differs(x))
            ++x;
        if (x == frame.image.width())
            continue;
        left = std::min(left, x);
        int r = frame.image.width() - 1;
        while (r > x && r > right && !differs(r))
            --r;
        right = std::max(right, r);
        bottom = y;
        if (top < 0)
            top = y;
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}
} // namespace

std::optional<QRect> PackedFrame::patchOver(const desktop::Silhouette& frame, const PackedFrame* base)
{
    if (!base || !base->whole() || base->size_ != frame.size || base->ratio_ != frame.image.devicePixelRatio() ||
        frame.image.format() != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;
    const std::optional<desktop::Silhouette> under = base->unpacked();
    if (!under)
        return std::nullopt;
    const QRect differs = differenceFrom(frame, *under);
    // Below half the frame, the base's share pays for the cost of unpacking it too.
    if (2 * qint64(differs.width()) * differs.height() > qint64(frame.image.width()) * frame.image.height())
        return std::nullopt;
    return differs;
}

PackedFrame::PackedFrame(const desktop::Silhouette& frame, std::shared_ptr<const PackedFrame> base)
    : PackedFrame(frame, base, patchOver(frame, base.get()))
{
}

std::shared_ptr<const PackedFrame> PackedFrame::over(const desktop::Silhouette& frame,
                                                     std::shared_ptr<const PackedFrame> base)
{
    const std::optional<QRect> patch = patchOver(frame, base.get());
    if (!patch)
        return nullptr;
    return std::shared_ptr<const PackedFrame>(new PackedFrame(frame, std::move(base), patch));
}

PackedFrame::PackedFrame(const desktop::Silhouette& frame, std::shared_ptr<const PackedFrame> base,
                         std::optional<QRect> patch)
    : imageSize_(frame.image.size()), ratio_(frame.image.devicePixelRatio()), offset_(frame.offset),
      shape_(frame.shape), size_(frame.size)
{
    const QImage image = frame.image.convertedTo(QImage::Format_ARGB32_Premultiplied);
    if (patch) {
        patch_ = *patch;
        base_ = std::move(base);
    } else {
        patch_ = image.rect();
    }
    bytes_ = shape_.rectCount() * qsizetype(sizeof(QRect));
    // Most moves leave the outline as it was: one shape then serves both.
    if (base_ && shape_ == base_->shape_) {
        shape_ = base_->shape_;
        bytes_ = 0;
    }
    const qsizetype width = patch_.width(), n = width * patch_.height();
    // A whole frame is packed as one array, a patch row by row: each row then ends a span.
    const qsizetype cutAtEnds = base_ ? patch_.height() : 1;
    // Packed into room for the worst case, then copied out at its size. Shrinking that room in place
    // would leave a hole behind each kept frame that only smaller blocks can fill.
    QByteArray room(4 * n + 2 * (n / longest + 2 * cutAtEnds), Qt::Uninitialized);
    qsizetype packed = 0;
    if (!base_) {
        // 32-bit images have no padding at the ends of their rows: the pixels are one array.
        packed = encode(reinterpret_cast<const QRgb*>(image.constBits()), n, room.data());
    } else {
        for (int y = patch_.top(); y <= patch_.bottom(); ++y)
            packed += encode(reinterpret_cast<const QRgb*>(image.constScanLine(y)) + patch_.left(), width,
                             room.data() + packed);
    }
    runs_ = QByteArray(room.constData(), packed);
    bytes_ += runs_.size();
}

std::optional<desktop::Silhouette> PackedFrame::unpacked() const
{
    QImage image(imageSize_, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() && !imageSize_.isEmpty())
        return std::nullopt;
    image.setDevicePixelRatio(ratio_);
    if (!base_) {
        decode(runs_.constData(), reinterpret_cast<QRgb*>(image.bits()), qsizetype(image.width()) * image.height());
        return desktop::Silhouette{std::move(image), offset_, shape_, size_};
    }
    const std::optional<desktop::Silhouette> under = base_->unpacked();
    if (!under)
        return std::nullopt;
    image.fill(Qt::transparent);
    const QRect shared = image.rect().translated(offset_).intersected(under->image.rect().translated(under->offset));
    for (int wy = shared.top(); wy <= shared.bottom(); ++wy)
        std::memcpy(reinterpret_cast<QRgb*>(image.scanLine(wy - offset_.y())) + shared.left() - offset_.x(),
                    reinterpret_cast<const QRgb*>(under->image.constScanLine(wy - under->offset.y())) + shared.left() -
                        under->offset.x(),
                    size_t(shared.width()) * sizeof(QRgb));
    const char* in = runs_.constData();
    for (int y = patch_.top(); y <= patch_.bottom(); ++y)
        in = decode(in, reinterpret_cast<QRgb*>(image.scanLine(y)) + patch_.left(), patch_.width());
    return desktop::Silhouette{std::move(image), offset_, shape_, size_};
}

} // namespace character
