// The screen's twips per pixel, and the conversions between them.
#pragma once

namespace platform {

// Twips (1/1440 inch) per screen pixel, as forms measure themselves in twips.
class ScreenMetrics {
public:
    virtual ~ScreenMetrics() = default;
    virtual float TwipsPerPixelX() const = 0;
    virtual float TwipsPerPixelY() const = 0;
};

// From the primary screen's logical resolution (15 at 96 dpi).
class QtScreenMetrics final : public ScreenMetrics {
public:
    float TwipsPerPixelX() const override;
    float TwipsPerPixelY() const override;
};

class FixedScreenMetrics final : public ScreenMetrics {
public:
    explicit FixedScreenMetrics(float tx = 15, float ty = 15) : tx_(tx), ty_(ty) {}
    float TwipsPerPixelX() const override { return tx_; }
    float TwipsPerPixelY() const override { return ty_; }

private:
    float tx_, ty_;
};

// One place for the conversions the forms need.
int TwipsToPixels(double twips, float twipsPerPixel);
double PixelsToTwips(int pixels, float twipsPerPixel);

} // namespace platform
