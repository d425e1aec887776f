// How much the window manager's frame adds round a top-level window, asked before the window shows.
#pragma once
#include <QMargins>

class QWidget;

namespace platform {

// The frame round `window`: as Qt knows it once the window manager has framed the window, and
// before that as the window manager says it will be (X11 window managers answer
// _NET_REQUEST_FRAME_EXTENTS). No margins where neither is known, or for a frameless window.
QMargins ExpectedFrameMargins(QWidget& window);

} // namespace platform
