// The character's own window: frameless, on top, never taking the focus, shaped to the drawn figure.
#include "CharacterWindow.h"

#include "desktop/FloatingWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

namespace character {

CharacterWindow::CharacterWindow(const QString& characterName) : desktop::ShapedWindow(desktop::FloatingWindowFlags())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(characterName);
    setAccessibleName(characterName);
}

void CharacterWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        pressed_ = true;
        dragging_ = false;
        pressGlobal_ = e->globalPosition().toPoint();
        pressOffset_ = e->position().toPoint(); // what the window manager says of pos() may lag
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
        } else {
            emit clicked();
        }
    } else if (e->button() == Qt::MiddleButton) {
        emit listenPressed(false);
    }
}

} // namespace character
