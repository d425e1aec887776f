// Runs something once a window has first been painted.
#include "FirstPaint.h"

#include <QEvent>
#include <QWidget>
#include <utility>

FirstPaint::FirstPaint(QWidget& window, std::function<void()> then, int latestMs)
    : window_(&window), then_(std::move(then))
{
    window.installEventFilter(this);
    latest_.setSingleShot(true);
    connect(&latest_, &QTimer::timeout, this, &FirstPaint::run);
    latest_.start(latestMs);
}

bool FirstPaint::eventFilter(QObject* watched, QEvent* event)
{
    // After the paint has been handled, not in the middle of it.
    if (watched == window_ && event->type() == QEvent::Paint)
        QTimer::singleShot(0, this, &FirstPaint::run);
    return false;
}

void FirstPaint::run()
{
    if (!then_)
        return;
    latest_.stop();
    if (window_)
        window_->removeEventFilter(this);
    std::exchange(then_, nullptr)();
}
