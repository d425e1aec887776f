// The character's own window: frameless, on top, never taking the focus, shaped to the drawn figure.
#pragma once
#include "desktop/ShapedWindow.h"

#include <QPoint>

namespace character {

// The character's own window: frameless, on top, never taking the focus, shaped to the drawn figure
// so that, without a compositor, the desktop shows around it rather than a black box.
class CharacterWindow : public desktop::ShapedWindow {
    Q_OBJECT
public:
    explicit CharacterWindow(const QString& characterName);

signals:
    void dragged(const QPoint& topLeft);
    void dragFinished();
    void clicked(); // the left button went down and up without a drag
    void menuRequested(const QPoint& globalPos);
    void listenPressed(bool down);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QPoint pressOffset_;
    QPoint pressGlobal_;
    bool pressed_ = false;
    bool dragging_ = false;
    bool wholeBufferShown_ = false;
};

} // namespace character
