#include "PlaceDialog.h"

#include "Character.h"
#include "platform/ScreenMetrics.h"

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

DialogPlacement PlaceBeside(int L, int T, int CW, double W, float TX, float TY)
{
    DialogPlacement p;
    const float room = float(L) - float(W) / TX;
    if (room < 0)
        p.leftTwips = double(L + CW) * double(TX);
    else
        p.leftTwips = double(L) * double(TX) - W;
    p.topTwips = double(T) * double(TY);
    p.gestureX = roundHalfEven16(p.leftTwips / double(TX));
    p.gestureY = roundHalfEven16(p.topTwips / double(TY));
    return p;
}

void PlaceDialogBesideCharacter(QWidget& dialog, Character& agentA, const platform::ScreenMetrics& screen)
{
    const float TX = screen.TwipsPerPixelX(), TY = screen.TwipsPerPixelY();
    const double W = platform::PixelsToTwips(dialog.frameGeometry().width(), TX);
    const DialogPlacement p = PlaceBeside(agentA.Left(), agentA.Top(), agentA.Width(), W, TX, TY);
    // move() places the outer frame, which is what the twips above measure.
    dialog.move(platform::TwipsToPixels(p.leftTwips, TX), platform::TwipsToPixels(p.topTwips, TY));
    agentA.GestureAt(p.gestureX, p.gestureY);
}

} // namespace character
