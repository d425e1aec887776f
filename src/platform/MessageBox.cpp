// A modal message box.
#include "MessageBox.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <limits>

namespace platform {

namespace {
// The box takes its size as it shows; it is placed then, before the window manager first sees it.
class ClearMessageBox : public QMessageBox {
public:
    explicit ClearMessageBox(const QRect& keepClear) : keepClear_(keepClear) {}

protected:
    void showEvent(QShowEvent* e) override
    {
        QMessageBox::showEvent(e);
        StandClearOf(*this, keepClear_);
    }

private:
    QRect keepClear_;
};
} // namespace

void QtMessageBox::MsgBox(const QString& text, const QString& title, Icon icon, const QRect& keepClear)
{
    ClearMessageBox box(keepClear);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.exec();
}

void StandClearOf(QWidget& window, const QRect& area)
{
    if (!area.isValid())
        return;
    QScreen* screen = QGuiApplication::screenAt(area.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Room for the window manager's frame, which is known only once the window has shown.
    const QMargins frame(8, 40, 8, 8);
    const QRect room = screen->availableGeometry().marginsRemoved(frame);
    const QRect avoid = area.marginsAdded(QMargins(frame.right(), frame.bottom(), frame.left(), frame.top()));
    const QSize size = window.size();
    auto at = [&](int x, int y) {
        x = std::clamp(x, room.left(), std::max(room.left(), room.right() + 1 - size.width()));
        y = std::clamp(y, room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
        return QRect(QPoint(x, y), size);
    };
    const QPoint middle = room.center() - QPoint(size.width() / 2, size.height() / 2);
    const int besideY = avoid.center().y() - size.height() / 2, aboveX = avoid.center().x() - size.width() / 2;
    // The first place clear of `area`; on a screen too small for that, the one that covers least of it.
    QRect best;
    qint64 leastCovered = std::numeric_limits<qint64>::max();
    for (const QRect& r : {at(middle.x(), middle.y()), at(avoid.left() - size.width(), besideY),
                           at(avoid.right() + 1, besideY), at(aboveX, avoid.bottom() + 1),
                           at(aboveX, avoid.top() - size.height())}) {
        const QRect covered = r.intersected(avoid);
        const qint64 lost = covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
        if (lost < leastCovered) {
            best = r;
            leastCovered = lost;
        }
        if (lost == 0)
            break;
    }
    window.setGeometry(best);
}

} // namespace platform
