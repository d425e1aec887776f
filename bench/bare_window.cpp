// The baseline: the least a Qt 6 program does to show one frameless, painted window.
#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {
class Window : public QWidget {
public:
    Window() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint) { resize(128, 160); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(59, 125, 216));
        p.drawEllipse(rect().adjusted(8, 8, -8, -8));
        if (!painted_) {
            painted_ = true;
            std::printf("painted\n");
            std::fflush(stdout);
        }
    }

private:
    bool painted_ = false;
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Window w;
    w.show();
    return app.exec();
}
