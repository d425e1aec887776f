#include "CharacterWindow.h"

#include "Renderer.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>
#include <QWindow>

namespace character {

namespace {
// Windows offscreen (tests, thumbnails) have nothing behind them to show through.
bool shapedWindows()
{
    static const bool shaped = QGuiApplication::platformName() != u"offscreen";
    return shaped;
}

constexpr Qt::WindowFlags managedFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                         Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;

// On XWayland the compositor is the X11 window manager too, and it centres managed windows and gives
// them the focus whatever they ask. An override-redirect window it leaves where we put it, above the
// others and without the focus. An X11 window manager keeps to what the flags ask.
Qt::WindowFlags floatingFlags()
{
    const bool xwayland = QGuiApplication::platformName() == u"xcb" && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return xwayland ? managedFlags | Qt::X11BypassWindowManagerHint : managedFlags;
}
}

CharacterWindow::CharacterWindow(const QString& characterName) : QWidget(nullptr, floatingFlags())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(characterName);
    setAccessibleName(characterName);
    // XWayland hands the compositor the window's whole buffer and leaves the X shape out, and a
    // Wayland window's mask only says where clicks go. X11 compositors cut the window to its shape.
    wholeBufferShown_ = QGuiApplication::platformName() == u"wayland" ||
                        (QGuiApplication::platformName() == u"xcb" && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

void CharacterWindow::setFrame(const QImage& image)
{
    const bool resized = image.size() != image_.size();
    image_ = image;
    if (resized)
        setFixedSize(image.size());
    if (shapedWindows()) {
        const QRegion shape(Renderer::maskOf(image_));
        // Where the old shape reached beyond the new one, our buffer still holds the old frame, since
        // painting keeps inside the shape; where the whole buffer is shown, that would stay on screen.
        // Clear it while the old shape still lets the painting through.
        const QRegion old = mask();
        if (wholeBufferShown_ && isVisible() && !(old - shape).isEmpty()) {
            setMask(old | shape);
            repaint();
        }
        setMask(shape);
    }
    update();
}

void CharacterWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, image_);
}

void CharacterWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        pressed_ = true;
        dragging_ = false;
        pressGlobal_ = e->globalPosition().toPoint();
        pressOffset_ = pressGlobal_ - pos();
    } else if (e->button() == Qt::RightButton) {
        emit menuRequested(e->globalPosition().toPoint());
    } else if (e->button() == Qt::MiddleButton) {
        emit listenPressed(true);
    }
}

void CharacterWindow::mouseMoveEvent(QMouseEvent* e)
{
    if (!pressed_)
        return;
    const QPoint global = e->globalPosition().toPoint();
    if (!dragging_ && (global - pressGlobal_).manhattanLength() < QApplication::startDragDistance())
        return;
    // A Wayland client cannot place its windows: the compositor moves this one and never says where to,
    // so there is no place to keep.
    if (QGuiApplication::platformName() == u"wayland" && windowHandle()) {
        pressed_ = false;
        windowHandle()->startSystemMove();
        return;
    }
    dragging_ = true;
    emit dragged(global - pressOffset_);
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        if (dragging_) {
            dragging_ = false;
            emit dragFinished();
        }
    } else if (e->button() == Qt::MiddleButton) {
        emit listenPressed(false);
    }
}

// ---- balloon ----

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

Balloon::Balloon() : QWidget(nullptr, floatingFlags())
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
    if (shapedWindows())
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
