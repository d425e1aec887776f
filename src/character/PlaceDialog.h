// Where a dialog stands beside the character, and the character pointing at it.
#pragma once
#include <QRect>

class QWidget;

namespace platform {
class ScreenMetrics;
}

namespace character {

class Character;

// Where a dialog goes beside the character, in the dialog's units (twips), and the point the
// character gestures at, in pixels.
struct DialogPlacement {
    double leftTwips = 0;
    double topTwips = 0;
    qint16 gestureX = 0;
    qint16 gestureY = 0;
};

// L, T, CW: the character's left, top and width in pixels; W: the dialog's outer width in twips;
// screenLeft: the left edge, in pixels, of the monitor the character stands on.
DialogPlacement PlaceBeside(int L, int T, int CW, double W, float TX, float TY, int screenLeft = 0);

// Moves `dialog` flush beside the character, top edges level, its window frame included, on the
// character's side of the left edge of the monitor it stands on; returns the place and the outer
// width it was placed with.
DialogPlacement MoveBesideCharacter(QWidget& dialog, const Character& agentA, const platform::ScreenMetrics& screen,
                                    int* outerWidth = nullptr);
// The part of the screen the character and its balloon may take. Both stay in front of other windows:
// a window with something to read keeps out of it.
QRect ScreenAreaOf(const Character& agentA);

// Moves `dialog` beside the character and queues the character's gesture at its top-left corner.
void PlaceDialogBesideCharacter(QWidget& dialog, Character& agentA, const platform::ScreenMetrics& screen);

} // namespace character
