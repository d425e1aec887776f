// The character's own window: frameless, on top, never taking the focus, shaped to the drawn figure.
#include "CharacterWindow.h"

#include "FloatingWindow.h"
#include "Renderer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace character {

CharacterWindow::CharacterWindow(const QString& characterName) : QWidget(nullptr, FloatingWindowFlags())
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
    if (ShapedWindows()) {
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

} // namespace character
