// The window manager's frame round a top-level window: the parts it offers, and how much it adds.
#include "WindowFrame.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

namespace desktop {

namespace {
// The Motif window manager hints. Most X window managers take their buttons from them; openbox, for one, only
// its title bar and border.
enum : uint32_t { HintFunctions = 1, HintDecorations = 2 };
enum : uint32_t { FuncMove = 4, FuncMinimize = 8, FuncMaximize = 16, FuncClose = 32 };
enum : uint32_t { DecorBorder = 2, DecorTitle = 8, DecorMinimize = 32, DecorMaximize = 64 };

// The five words of _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
std::array<uint32_t, 5> motifHints(WindowFrame::Parts parts)
{
    uint32_t functions = FuncMove, decorations = DecorBorder; // a fixed border: no resizing
    if (parts & WindowFrame::Title)
        decorations |= DecorTitle;
    if (parts & WindowFrame::MinimizeBox) {
        functions |= FuncMinimize;
        decorations |= DecorMinimize;
    }
    if (parts & WindowFrame::MaximizeBox) {
        functions |= FuncMaximize;
        decorations |= DecorMaximize;
    }
    if (parts & WindowFrame::CloseBox)
        functions |= FuncClose;
    return {HintFunctions | HintDecorations, functions, decorations, 0, 0};
}

// How long to wait for the window manager's answer; a manager that does not answer costs this once.
constexpr int answerWithinMs = 250;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                         &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
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

WindowFrame::WindowFrame(QWidget& window, Parts parts) : QObject(&window), window_(window), parts_(parts)
{
    window.installEventFilter(this);
}

void WindowFrame::Apply(QWidget& window, Parts parts)
{
    new WindowFrame(window, parts);
}

void WindowFrame::writeHints()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    const WId id = window_.internalWinId();
    if (!c || !id)
        return;
    constexpr char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    if (!atom)
        return;
    const std::array<uint32_t, 5> hints = motifHints(parts_);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(id), atom->atom, atom->atom, 32, hints.size(),
                        hints.data());
    xcb_flush(c);
    std::free(atom);
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &window_)
        return false;
    if (event->type() == QEvent::Show) {
        // The native window exists and is not mapped yet; Qt wrote its own hints when it made it.
        writeHints();
    } else if (event->type() == QEvent::WindowStateChange) {
        Qt::WindowStates refused;
        if (!(parts_ & MinimizeBox))
            refused |= Qt::WindowMinimized;
        if (!(parts_ & MaximizeBox))
            refused |= Qt::WindowMaximized | Qt::WindowFullScreen;
        if (window_.windowState() & refused) {
            // After the window manager's change has been handled: undoing it in the middle confuses both.
            QMetaObject::invokeMethod(
                this, [this, refused] { window_.setWindowState(window_.windowState() & ~refused); },
                Qt::QueuedConnection);
        }
    }
    return false;
}

QMargins WindowFrame::ExpectedMargins(QWidget& window)
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
    // The window manager counts in device pixels, the window in logical ones.
    const qreal scale = window.devicePixelRatioF();
    auto logical = [scale](const QMargins& m) {
        return QMargins(qRound(m.left() / scale), qRound(m.top() / scale), qRound(m.right() / scale),
                        qRound(m.bottom() / scale));
    };
    if (const auto known = frameExtents(c, id, extents))
        return logical(*known);
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
            return logical(*answered);
        QThread::msleep(5);
    }
    return {};
}

} // namespace desktop
