// The arrow pair beside the alarm's time boxes.
#pragma once
#include <QToolButton>
#include <QWidget>

namespace alarms {

// A vertical pair of arrows that never takes the focus, so a click acts on the box that has it.
class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget* parent = nullptr);

signals:
    void UpClick();
    void DownClick();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QToolButton up_, down_;
};

} // namespace alarms
