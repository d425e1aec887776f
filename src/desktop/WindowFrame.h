// The window manager's frame round a top-level window: the parts it offers, and how much it adds.
#pragma once
#include <QFlags>
#include <QMargins>
#include <QObject>

class QWidget;

namespace desktop {

class WindowFrame : public QObject {
    Q_OBJECT
public:
    enum Part { Title = 1, CloseBox = 2, MinimizeBox = 4, MaximizeBox = 8 };
    Q_DECLARE_FLAGS(Parts, Part)

    // From its first showing on, `window` asks for these parts and no others, before the window
    // manager first sees it. Some window managers draw minimise and maximise buttons whatever a window
    // asks for; a window without them that gets minimised or maximised there is put back at once.
    static void Apply(QWidget& window, Parts parts);

    // The frame round `window`: as Qt knows it once the window manager has framed the window, and
    // before that as the window manager says it will be (X11 window managers answer
    // _NET_REQUEST_FRAME_EXTENTS). No margins where neither is known, or for a frameless window.
    static QMargins ExpectedMargins(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowFrame(QWidget& window, Parts parts);
    void writeHints();

    QWidget& window_;
    Parts parts_;
};

} // namespace desktop

Q_DECLARE_OPERATORS_FOR_FLAGS(desktop::WindowFrame::Parts)
