#include "WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace platform {

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

} // namespace platform
