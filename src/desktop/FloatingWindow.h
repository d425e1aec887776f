// How the character's floating windows (the figure, its balloon) ask to be shown.
#pragma once
#include <QGuiApplication>

namespace desktop {

// On XWayland the compositor is the X11 window manager too, and it centres managed windows and gives
// them the focus whatever they ask. An override-redirect window it leaves where we put it, above the
// others and without the focus. An X11 window manager keeps to what the flags ask.
inline Qt::WindowFlags FloatingWindowFlags()
{
    constexpr Qt::WindowFlags managed = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                        Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    const bool xwayland = QGuiApplication::platformName() == u"xcb" && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    return xwayland ? managed | Qt::X11BypassWindowManagerHint : managed;
}

// Windows offscreen (tests, thumbnails) have nothing behind them to show through, so no shape.
inline bool ShapedWindows()
{
    return QGuiApplication::platformName() != u"offscreen";
}

} // namespace desktop
