#include "CharacterWindow.h"

#include "FloatingWindow.h"
#include "Renderer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace character {

CharacterWindow::CharacterWindow(const QString& characterName) : QWidget(nullptr, FloatingWindowFlags)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(characterName);
    setAccessibleName(characterName);
}

void CharacterWindow::setFrame(const QImage& image)
{
    const bool resized = image.size() != image_.size();
    image_ = image;
    if (resized)
        setFixedSize(image.size());
    if (ShapedWindows())
        setMask(Renderer::maskOf(image_));
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
