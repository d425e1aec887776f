// The word balloon beside the character, showing the words heard so far.
#pragma once
#include "desktop/ShapedWindow.h"

#include <QRect>

namespace character {

// The word balloon above (or below) the character. It shows the words heard so far; a long text
// keeps only its last lines in view.
class Balloon : public desktop::ShapedWindow {
    Q_OBJECT
public:
    Balloon();
    void showText(const QString& text, const QRect& character);
    void showCue(const QString& cue, const QRect& character);
    void follow(const QRect& character);
    // Where a balloon beside a character standing at `character` can stand, at its largest.
    static QRect reach(const QRect& character);

protected:
    void mousePressEvent(QMouseEvent*) override;

signals:
    void clicked();

private:
    void present(const QString& text, bool cue, const QRect& character);
    void layoutFor(const QRect& character);
    void redraw();
    QString text_;
    QRect character_;
    QSize size_;
    bool tailDown_ = true;
    bool cue_ = false;
};

} // namespace character
