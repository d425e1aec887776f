// A frameless window that shows a drawn image at the screen's resolution, shaped to what is drawn.
#include "ShapedWindow.h"

#include "FloatingWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace desktop {

namespace {
xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// A compositor owns this selection while it runs, as EWMH has it.
bool compositorRuns(xcb_connection_t* c)
{
    constexpr char name[] = "_NET_WM_CM_S0";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr), &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &std::free);
    return owner && owner->owner != XCB_NONE;
}
} // namespace

ShapedWindow::ShapedWindow(Qt::WindowFlags flags) : QWidget(nullptr, flags)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    wholeBufferShown_ = QGuiApplication::platformName() == u"wayland" ||
                        (QGuiApplication::platformName() == u"xcb" && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

bool ShapedWindow::askCompositing() const
{
    // A Wayland display is its own compositor.
    xcb_connection_t* c = x11Connection();
    compositing_ = c ? compositorRuns(c) : QGuiApplication::platformName().startsWith(u"wayland");
    compositingAsked_.start();
    return *compositing_;
}

bool ShapedWindow::compositing() const
{
    if (!compositing_ || compositingAsked_.hasExpired(1000))
        return askCompositing();
    return *compositing_;
}

void ShapedWindow::setSilhouette(const Silhouette& s, std::optional<QRect> changed)
{
    if (s.sameAs(silhouette_))
        return;
    const bool resized = s.size != silhouette_.size;
    const bool reshaped = s.shape != silhouette_.shape;
    const bool rescaled = s.image.devicePixelRatio() != silhouette_.image.devicePixelRatio();
    const QRegion oldShape = silhouette_.shape;
    silhouette_ = s;
    if (resized)
        setFixedSize(s.size);
    if (reshaped || resized) {
        // Drawing stops at the window's shape, and where the whole buffer is shown the old frame would
        // stay beyond the new shape: clear it through both shapes first.
        if (wholeBufferShown_ && isVisible() && !resized && !rescaled && !(oldShape - s.shape).isEmpty()) {
            applyShape(oldShape | s.shape);
            repaint();
        }
        applyShape();
    }
    // Painting and sending only what changed (a blink, the mouth) costs a fraction of the window.
    const qreal drawnAt = s.image.devicePixelRatio();
    if (changed && !resized && !rescaled)
        update(QRectF(QPointF(changed->topLeft()) / drawnAt, QSizeF(changed->size()) / drawnAt).toAlignedRect());
    else
        update();
}

void ShapedWindow::applyShape()
{
    applyShape(silhouette_.shape);
}

void ShapedWindow::applyShape(QRegion shape)
{
    if (!ShapedWindows())
        return;
    // A silhouette drawn for another screen's resolution fits until the redraw it asked for comes.
    const qreal drawnAt = silhouette_.image.devicePixelRatio();
    xcb_connection_t* c = x11Connection();
    if (!c) {
        // Elsewhere only Qt's own mask is at hand, in logical pixels.
        setMask(QTransform::fromScale(1 / drawnAt, 1 / drawnAt).map(shape));
        return;
    }
    const WId id = internalWinId();
    if (!id)
        return; // set once the native window is made
    if (!qFuzzyCompare(drawnAt, scale()))
        shape = QTransform::fromScale(scale() / drawnAt, scale() / drawnAt).map(shape);
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(size_t(shape.rectCount()));
    for (const QRect& r : shape)
        rects.push_back({int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()), uint16_t(r.height())});
    // Sent with the frame's paint, when Qt flushes the connection.
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, xcb_window_t(id), 0, 0,
                         uint32_t(rects.size()), rects.data());
}

bool ShapedWindow::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::WinIdChange:
        applyShape();
        break;
    case QEvent::Show: {
        const std::optional<bool> was = compositing_;
        const bool now = askCompositing();
        applyShape();
        if (was && *was != now)
            emit redrawNeeded();
        break;
    }
    case QEvent::ScreenChangeInternal:
        if (!silhouette_.image.isNull() && !qFuzzyCompare(silhouette_.image.devicePixelRatio(), scale())) {
            applyShape();
            emit redrawNeeded();
        }
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void ShapedWindow::paintEvent(QPaintEvent*)
{
    // The backing store of a translucent window comes cleared: only the drawn part is painted.
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const qreal drawnAt = silhouette_.image.devicePixelRatio();
    p.drawImage(QPointF(silhouette_.offset) / drawnAt, silhouette_.image);
}

} // namespace desktop
