// The arrow pair beside the alarm's time boxes.
#include "UpDown.h"

namespace alarms {

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent), up_(this), down_(this)
{
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton* b : {&up_, &down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true); // held down, it keeps stepping
        b->setAutoRaise(false);
    }
    up_.setArrowType(Qt::UpArrow);
    down_.setArrowType(Qt::DownArrow);
    up_.setObjectName(QStringLiteral("UpDownUp"));
    down_.setObjectName(QStringLiteral("UpDownDown"));
    connect(&up_, &QToolButton::clicked, this, &UpDownArrows::UpClick);
    connect(&down_, &QToolButton::clicked, this, &UpDownArrows::DownClick);
}

void UpDownArrows::resizeEvent(QResizeEvent*)
{
    const int upper = height() / 2;
    up_.setGeometry(0, 0, width(), upper);
    down_.setGeometry(0, upper, width(), height() - upper);
}

} // namespace alarms
