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
} // namespace

PackedFrame::PackedFrame(const desktop::Silhouette& frame)
    : imageSize_(frame.image.size()), ratio_(frame.image.devicePixelRatio()), offset_(frame.offset),
      shape_(frame.shape), size_(frame.size)
{
    // 32-bit images have no padding at the ends of their rows: the pixels are one array.
    const QImage image = frame.image.convertedTo(QImage::Format_ARGB32_Premultiplied);
    const QRgb* p = reinterpret_cast<const QRgb*>(image.constBits());
    const qsizetype n = qsizetype(image.width()) * image.height();
    runs_ = QByteArray(4 * n + 2 * (n / longest + 2), Qt::Uninitialized);
    runs_.resize(encode(p, n, runs_.data()));
    runs_.squeeze();
}

std::optional<desktop::Silhouette> PackedFrame::unpacked() const
{
    QImage image(imageSize_, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() && !imageSize_.isEmpty())
        return std::nullopt;
    image.setDevicePixelRatio(ratio_);
    QRgb* out = reinterpret_cast<QRgb*>(image.bits());
    const char* in = runs_.constData();
    for (const char* end = in + runs_.size(); in < end;) {
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
    return desktop::Silhouette{std::move(image), offset_, shape_, size_};
}

} // namespace character
