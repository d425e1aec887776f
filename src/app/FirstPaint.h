// Runs something once a window has first been painted.
// Work the first frame does not need stays off the start-up path.
#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QWidget;

class FirstPaint : public QObject {
    Q_OBJECT
public:
    // `then` runs once, after `window`'s first paint, or after `latestMs` if it is never painted
    // (an offscreen run, a window that is not shown).
    FirstPaint(QWidget& window, std::function<void()> then, int latestMs = 1500);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run();

    QPointer<QWidget> window_;
    std::function<void()> then_;
    QTimer latest_;
};
