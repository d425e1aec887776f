// Where a dialog stands beside the character, and the character pointing at it.
#include "PlaceDialog.h"

#include "Balloon.h"
#include "Character.h"
#include "desktop/Monitors.h"
#include "platform/ScreenMetrics.h"
#include "desktop/WindowFrame.h"

#include <QWidget>
#include <cmath>
#include <limits>

namespace character {

namespace {
// To the nearest whole number, halves to the even neighbour, held within 16 bits.
qint16 roundHalfEven16(double v)
{
    const double r = std::nearbyint(v); // the default rounding mode rounds halves to even
    if (!(r >= std::numeric_limits<qint16>::min()))
        return std::numeric_limits<qint16>::min();
    if (r > std::numeric_limits<qint16>::max())
        return std::numeric_limits<qint16>::max();
    return qint16(r);
}
} // namespace

DialogPlacement PlaceBeside(int L, int T, int CW, double W, float TX, float TY, int screenLeft)
{
    DialogPlacement p;
    const float room = float(L) - float(W) / TX;
    if (room < float(screenLeft))
        p.leftTwips = double(L + CW) * double(TX);
    else
        p.leftTwips = double(L) * double(TX) - W;
    p.topTwips = double(T) * double(TY);
    p.gestureX = roundHalfEven16(p.leftTwips / double(TX));
    p.gestureY = roundHalfEven16(p.topTwips / double(TY));
    return p;
}

DialogPlacement MoveBesideCharacter(QWidget& dialog, const Character& agentA, const platform::ScreenMetrics& screen,
                                    int* outerWidth)
{
    const float TX = screen.TwipsPerPixelX(), TY = screen.TwipsPerPixelY();
    // The rule measures the whole window; before it first shows, only the window manager knows its frame.
    const QMargins frame = desktop::WindowFrame::ExpectedMargins(dialog);
    const int outer = dialog.width() + frame.left() + frame.right();
    const QRect figure(QPoint(agentA.Left(), agentA.Top()), QSize(agentA.Width(), agentA.Height()));
    const desktop::Monitors monitors = desktop::Monitors::current();
    const desktop::Monitor* monitor = monitors.of(figure);
    const DialogPlacement p = PlaceBeside(figure.left(), figure.top(), agentA.Width(),
                                          platform::PixelsToTwips(outer, TX), TX, TY,
                                          monitor ? monitor->geometry.left() : 0);
    const QPoint corner(platform::TwipsToPixels(p.leftTwips, TX), platform::TwipsToPixels(p.topTwips, TY));
    // The client area is placed inside the frame: a move() of a window not yet framed would put the
    // client, not the frame, at the corner.
    dialog.setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), dialog.size()));
    if (outerWidth)
        *outerWidth = outer;
    return p;
}

QRect ScreenAreaOf(const Character& agentA)
{
    const QRect figure(QPoint(agentA.Left(), agentA.Top()), QSize(agentA.Width(), agentA.Height()));
    return figure.united(Balloon::reach(figure));
}

void PlaceDialogBesideCharacter(QWidget& dialog, Character& agentA, const platform::ScreenMetrics& screen)
{
    const DialogPlacement p = MoveBesideCharacter(dialog, agentA, screen);
    agentA.GestureAt(p.gestureX, p.gestureY);
}

} // namespace character
