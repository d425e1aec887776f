// How the character's floating windows (the figure, its balloon) ask to be shown.
#pragma once
#include <QGuiApplication>

namespace character {

inline constexpr Qt::WindowFlags FloatingWindowFlags = Qt::Tool | Qt::FramelessWindowHint |
                                                       Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                                                       Qt::NoDropShadowWindowHint;

// Windows offscreen (tests, thumbnails) have nothing behind them to show through, so no shape.
inline bool ShapedWindows()
{
    return QGuiApplication::platformName() != u"offscreen";
}

} // namespace character
