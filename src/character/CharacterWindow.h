#pragma once
#include <QImage>
#include <QPoint>
#include <QWidget>

namespace character {

// The character's own window: frameless, on top, never taking the focus, shaped to the drawn figure
// so that, without a compositor, the desktop shows around it rather than a black box.
class CharacterWindow : public QWidget {
    Q_OBJECT
public:
    explicit CharacterWindow(const QString& characterName);
    void setFrame(const QImage& image);
    const QImage& frame() const { return image_; }

signals:
    void dragged(const QPoint& topLeft);
    void dragFinished();
    void menuRequested(const QPoint& globalPos);
    void listenPressed(bool down);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    QImage image_;
    QPoint pressOffset_;
    QPoint pressGlobal_;
    bool pressed_ = false;
    bool dragging_ = false;
    bool wholeBufferShown_ = false;
};

// The word balloon above (or below) the character. It shows the words heard so far; a long text
// keeps only its last lines in view.
class Balloon : public QWidget {
    Q_OBJECT
public:
    Balloon();
    void showText(const QString& text, const QRect& character);
    void showCue(const QString& cue, const QRect& character);
    void follow(const QRect& character);
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

signals:
    void clicked();

private:
    void layoutFor(const QRect& character);
    QString text_;
    QRect character_;
    bool tailDown_ = true;
    bool cue_ = false;
};

} // namespace character
