// The word balloon beside the character, showing the words heard so far.
#include "Balloon.h"

#include "FloatingWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>

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

Balloon::Balloon() : QWidget(nullptr, FloatingWindowFlags())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(balloonFont());
    setWindowTitle(QStringLiteral("Balloon"));
}

void Balloon::showText(const QString& text, const QRect& character)
{
    cue_ = false;
    text_ = text;
    setWindowTitle(text_.left(512)); // what assistive tools and end-to-end checks read
    layoutFor(character);
    if (!isVisible())
        show();
    update();
}

void Balloon::showCue(const QString& cue, const QRect& character)
{
    showText(cue, character);
    cue_ = true;
}

void Balloon::follow(const QRect& character)
{
    if (isVisible())
        layoutFor(character);
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
    const QScreen* screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    tailDown_ = character.top() - h >= avail.top();
    int x = character.center().x() - w / 2;
    x = std::clamp(x, avail.left(), std::max(avail.left(), avail.right() - w));
    const int y = tailDown_ ? character.top() - h + 4 : character.bottom() - 4;
    setGeometry(x, y, w, h);
    if (ShapedWindows())
        setMask(QRegion(balloonShape(size(), tailDown_).toFillPolygon().toPolygon()));
}

void Balloon::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = balloonShape(size(), tailDown_);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
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
        const int x = cue_ ? (width() - fm.horizontalAdvance(l)) / 2 : padding;
        p.drawText(x, y, l);
        y += fm.lineSpacing();
    }
}

void Balloon::mousePressEvent(QMouseEvent*)
{
    emit clicked();
}

} // namespace character
