// A frameless window that shows a drawn image at the screen's resolution, shaped to what is drawn.
#pragma once
#include "Silhouette.h"

#include <QElapsedTimer>
#include <QWidget>
#include <optional>

namespace desktop {

// Shows a silhouette: its image painted at the window's device pixel ratio and its shape set on the
// native window in device pixels, so the edge is as fine as the screen. Clicks outside the shape go
// to the window below, with or without a compositor.
class ShapedWindow : public QWidget {
    Q_OBJECT
public:
    explicit ShapedWindow(Qt::WindowFlags flags);

    // `changed`: where, in device pixels, it differs from the one shown, when that is known.
    void setSilhouette(const Silhouette& s, std::optional<QRect> changed = std::nullopt);
    const Silhouette& silhouette() const { return silhouette_; }
    // Device pixels per logical pixel where the window stands: what the next silhouette is drawn at.
    qreal scale() const { return devicePixelRatioF(); }
    // Whether a compositor blends the window with the desktop (asked of the display at most once a
    // second, so animating costs no round trip per frame).
    bool compositing() const;

signals:
    // The window went to a screen of another resolution, or a compositor came or went: draw again.
    void redrawNeeded();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;

private:
    void applyShape();
    void applyShape(QRegion deviceShape); // in the silhouette's device pixels
    bool askCompositing() const;

    Silhouette silhouette_;
    // XWayland and Wayland show the window's whole buffer; the shape only says where clicks go.
    bool wholeBufferShown_ = false;
    mutable std::optional<bool> compositing_;
    mutable QElapsedTimer compositingAsked_;
};

} // namespace desktop
