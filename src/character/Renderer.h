// Draws the character in a pose, and the shape the user can click.
#pragma once
#include "CharacterFile.h"

#include <QBitmap>
#include <QImage>

namespace character {

// Draws the character in a pose. Poses between two frames are blended part by part.
class Renderer {
public:
    explicit Renderer(const CharacterData& data) : data_(data) {}

    static Pose blend(const Pose& from, const Pose& to, float t);
    void applyOverlay(Pose& pose, const Overlay& overlay) const;

    QImage render(const Pose& pose) const;
    // The pixels the user can click: everything drawn, anti-aliased edges included.
    static QBitmap maskOf(const QImage& image);

private:
    const CharacterData& data_;
};

} // namespace character
