// The word balloon beside the character, showing the words heard so far.
#include "Balloon.h"

#include "desktop/FloatingWindow.h"
#include "desktop/Monitors.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <cmath>

namespace character {

namespace {
constexpr int balloonWidth = 240;
constexpr int padding = 10;
constexpr int tailHeight = 14;
constexpr int maxLines = 4;
constexpr int shownChars = 320; // of a long text, about this much is kept in view

QFont balloonFont()
{
    QFont f = QApplication::font();
    f.setPointSizeF(10);
    return f;
}

QString tailOf(const QString& text)
{
    if (text.size() <= shownChars)
        return text;
    int start = int(text.size()) - shownChars;
    const int space = int(text.indexOf(u' ', start));
    if (space > 0 && space < text.size() - 1)
        start = space + 1;
    return QStringLiteral("\u2026") + text.mid(start);
}

QStringList wrapped(const QString& text, const QFontMetrics& fm, int width)
{
    QStringList lines;
    QTextLayout layout(text, balloonFont());
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    Q_UNUSED(fm);
    if (lines.size() > maxLines)
        lines = lines.mid(lines.size() - maxLines);
    return lines;
}

constexpr qreal outlineWidth = 1.5;

// The outline runs half a pen inside the window's edge, so the window's shape takes all of it.
QPainterPath balloonShape(const QSize& size, bool tailDown)
{
    const int bodyTop = tailDown ? 0 : tailHeight;
    const QRectF body(1, bodyTop + 1, size.width() - 2, size.height() - tailHeight - 2);
    QPainterPath path;
    path.addRoundedRect(body, 10, 10);
    QPainterPath tail;
    const double cx = size.width() / 2.0;
    if (tailDown) {
        tail.moveTo(cx - 9, body.bottom() - 1);
        tail.lineTo(cx + 2, size.height() - 1);
        tail.lineTo(cx + 9, body.bottom() - 1);
    } else {
        tail.moveTo(cx - 9, body.top() + 1);
        tail.lineTo(cx + 2, 1);
        tail.lineTo(cx + 9, body.top() + 1);
    }
    tail.closeSubpath();
    return path.united(tail);
}
} // namespace

Balloon::Balloon() : desktop::ShapedWindow(desktop::FloatingWindowFlags())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(balloonFont());
    setWindowTitle(QStringLiteral("Balloon"));
    connect(this, &desktop::ShapedWindow::redrawNeeded, this, &Balloon::redraw);
}

void Balloon::showText(const QString& text, const QRect& character)
{
    present(text, false, character);
}

void Balloon::showCue(const QString& cue, const QRect& character)
{
    present(cue, true, character);
}

void Balloon::present(const QString& text, bool cue, const QRect& character)
{
    cue_ = cue;
    text_ = text;
    setWindowTitle(text_.left(512)); // what assistive tools and end-to-end checks read
    layoutFor(character);
    redraw();
    if (!isVisible())
        show();
}

void Balloon::follow(const QRect& character)
{
    if (isVisible())
        layoutFor(character);
}

QRect Balloon::reach(const QRect& character)
{
    const QFontMetrics fm(balloonFont());
    const int w = balloonWidth + 2, h = maxLines * fm.lineSpacing() + 2 * padding + tailHeight;
    const desktop::Monitors monitors = desktop::Monitors::current();
    const desktop::Monitor* monitor = monitors.of(character);
    const QRect avail = monitor ? monitor->available : QRect(0, 0, 1024, 768);
    const int x = std::clamp(character.center().x() - w / 2, avail.left(), std::max(avail.left(), avail.right() - w));
    // Above the character, or below it where there is no room above.
    return QRect(x, character.top() - h + 4, w, character.height() + 2 * h - 8);
}

void Balloon::layoutFor(const QRect& character)
{
    character_ = character;
    const QFontMetrics fm(font());
    const QStringList lines = wrapped(tailOf(text_), fm, balloonWidth - 2 * padding);
    int textWidth = 0;
    for (const QString& l : lines)
        textWidth = std::max(textWidth, fm.horizontalAdvance(l));
    const int w = std::max(60, textWidth + 2 * padding + 2);
    const int h = int(lines.size()) * fm.lineSpacing() + 2 * padding + tailHeight;
    // On the character's own monitor, as the clock and the dialogs are.
    const desktop::Monitors monitors = desktop::Monitors::current();
    const desktop::Monitor* monitor = monitors.of(character);
    const QRect avail = monitor ? monitor->available : QRect(0, 0, 1024, 768);
    const bool wasDown = tailDown_;
    tailDown_ = character.top() - h >= avail.top();
    int x = character.center().x() - w / 2;
    x = std::clamp(x, avail.left(), std::max(avail.left(), avail.right() - w));
    const int y = tailDown_ ? character.top() - h + 4 : character.bottom() - 4;
    const bool flipped = tailDown_ != wasDown;
    size_ = QSize(w, h);
    move(x, y);
    if (flipped && isVisible())
        redraw();
}

// Drawn whenever the text, the side of the tail or the screen's resolution changes, not on every paint.
void Balloon::redraw()
{
    const QSize size = size_;
    const qreal scale = this->scale();
    QImage image(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = balloonShape(size, tailDown_);
    QPen outline(QColor(0x30, 0x30, 0x30), outlineWidth);
    outline.setJoinStyle(Qt::RoundJoin);
    p.setPen(outline);
    p.setBrush(QColor(0xff, 0xfd, 0xe8));
    p.drawPath(shape);
    p.setPen(Qt::black);
    QFont f = font();
    if (cue_)
        f.setBold(true);
    p.setFont(f);
    const QFontMetrics fm(f);
    const QStringList lines = wrapped(tailOf(text_), fm, balloonWidth - 2 * padding);
    int y = (tailDown_ ? 0 : tailHeight) + padding + fm.ascent();
    for (const QString& l : lines) {
        const int x = cue_ ? (size.width() - fm.horizontalAdvance(l)) / 2 : padding;
        p.drawText(x, y, l);
        y += fm.lineSpacing();
    }
    p.end();
    setSilhouette(desktop::Silhouette::of(image, size, compositing()));
}

void Balloon::mousePressEvent(QMouseEvent*)
{
    emit clicked();
}

} // namespace character
