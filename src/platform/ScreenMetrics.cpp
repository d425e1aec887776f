// The screen's twips per pixel, and the conversions between them.
#include "ScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace platform {

namespace {
float twipsPer(double dpi)
{
    return dpi > 0 ? float(1440.0 / dpi) : 15.0f;
}
} // namespace

float QtScreenMetrics::TwipsPerPixelX() const
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return twipsPer(s ? s->logicalDotsPerInchX() : 96.0);
}

float QtScreenMetrics::TwipsPerPixelY() const
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return twipsPer(s ? s->logicalDotsPerInchY() : 96.0);
}

int TwipsToPixels(double twips, float twipsPerPixel)
{
    return int(std::lround(twips / double(twipsPerPixel)));
}

double PixelsToTwips(int pixels, float twipsPerPixel)
{
    return double(pixels) * double(twipsPerPixel);
}

} // namespace platform
