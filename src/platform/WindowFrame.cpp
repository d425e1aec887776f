#include "WindowFrame.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>
#include <cstring>
#include <memory>
#include <optional>

namespace platform {

namespace {
// How long to wait for the window manager's answer; a manager that does not answer costs this once.
constexpr int answerWithinMs = 250;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                         &std::free);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

std::optional<QMargins> frameExtents(xcb_connection_t* c, xcb_window_t window, xcb_atom_t extents)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, window, extents, XCB_ATOM_CARDINAL, 0, 4);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 16)
        return std::nullopt;
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3])); // left, right, top, bottom
}
} // namespace

QMargins ExpectedFrameMargins(QWidget& window)
{
    if (window.windowFlags() & Qt::FramelessWindowHint)
        return {};
    const QRect frame = window.frameGeometry(), client = window.geometry();
    if (frame != client)
        return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                        frame.bottom() - client.bottom());
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return {};
    xcb_connection_t* c = x11->connection();
    const auto id = xcb_window_t(window.winId());
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    if (const auto known = frameExtents(c, id, extents))
        return *known;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen || request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE)
        return {};
    xcb_client_message_event_t ask{};
    ask.response_type = XCB_CLIENT_MESSAGE;
    ask.format = 32;
    ask.window = id;
    ask.type = request;
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ask));
    xcb_flush(c);
    const QDeadlineTimer deadline(answerWithinMs);
    while (!deadline.hasExpired()) {
        if (const auto answered = frameExtents(c, id, extents))
            return *answered;
        QThread::msleep(5);
    }
    return {};
}

} // namespace platform
