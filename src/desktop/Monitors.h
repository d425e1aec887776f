// The desktop's monitors as rectangles, and the rules that keep the character's windows on them.
#pragma once
#include <QRect>
#include <QSize>
#include <vector>

namespace desktop {

struct Monitor {
    QRect geometry;  // the whole monitor, in logical pixels
    QRect available; // without the panels and docks on it
};

// The monitors of the desktop, the primary one first. "The screen" of the character is the monitor
// it stands on.
class Monitors {
public:
    Monitors() = default;
    explicit Monitors(std::vector<Monitor> monitors) : monitors_(std::move(monitors)) {}
    // As the display has them now.
    static Monitors current();

    const std::vector<Monitor>& all() const { return monitors_; }
    // The monitor `r` stands on: the one it covers most, or else the nearest; the primary one wins
    // a tie. None only when there are no monitors.
    const Monitor* of(const QRect& r) const;
    // Where a figure standing at `figure` goes: where it is while at least half of it shows, and
    // otherwise wholly inside the monitor it stands on (or the nearest one).
    QPoint keepOn(const QRect& figure) const;
    // Where the top-left corner of a window `outer` in size (its frame included) goes beside
    // `figure`: `gap` to its right where that fits inside the figure's monitor, else to its left,
    // top edges level; always inside that monitor's available area.
    QPoint beside(const QRect& figure, QSize outer, int gap) const;

private:
    std::vector<Monitor> monitors_;
};

} // namespace desktop
