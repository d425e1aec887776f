// Shows a pose on the character's window, drawing only what changed and reusing frames drawn before.
#pragma once
#include "CharacterFile.h"
#include "FrameCache.h"
#include "Renderer.h"

#include <optional>
#include <vector>

namespace character {

class CharacterWindow;

class FigureDrawing {
public:
    FigureDrawing(const CharacterData& data, CharacterWindow& window);

    // `pose` with `overlays` drawn over it; a pose already shown draws nothing.
    void show(Pose pose, const std::vector<const Overlay*>& overlays);
    // The window needs everything again (its scale or its compositing changed).
    void forget() { drawn_.reset(); }
    // Nothing will be drawn for a while: the image the next frame would be drawn over goes, and the
    // next frame is drawn whole.
    void letGo() { lastDrawn_ = QImage(); }

private:
    QImage draw(const Pose& pose, qreal scale);

    const CharacterData& data_;
    CharacterWindow& window_;
    Renderer renderer_;
    FrameCache cache_;
    std::optional<Pose> drawn_; // with overlays applied: what the window shows now
    Pose drawnStill_;           // what is shown, the figure's own move aside
    QPoint drawnShift_;
    qreal drawnScale_ = 0;
    bool drawnCompositing_ = false;
    QImage lastDrawn_; // as the renderer drew it, to draw the next frame over
    Pose lastPose_;
};

} // namespace character
