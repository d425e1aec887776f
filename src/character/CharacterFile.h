// The character file: what it holds and how it is read.
#pragma once
#include "platform/Result.h"

#include <QColor>
#include <QHash>
#include <QPainterPath>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

namespace character {

// The contents of a character file: drawn parts, poses that move them, and timed animations.
//
// The file is line-oriented text ('#' starts a comment):
//   varrow-character 1           (a "#" at the start of a line or before a blank starts a comment)
//   name Genie
//   size <width> <height>
//   colour <name> <#rrggbb | #rrggbbaa>
//   part <name> <parent | -> <pivotX> <pivotY> [hidden]
//     ellipse <fill> <stroke> <strokeWidth> <cx> <cy> <rx> <ry>
//     rect <fill> <stroke> <strokeWidth> <x> <y> <w> <h> [<radius>]
//     path <fill> <stroke> <strokeWidth> <path data: M L H V C Q Z, absolute or relative>
//   pose <name> [like <pose>]
//     <part> [rotate <deg>] [move <dx> <dy>] [scale <s>] [show | hide]
//     figure [move <dx> <dy>] [scale <s>] [opacity <o>]
//   overlay <name>
//     <part> show | hide
//   animation <name>
//     frame <pose> <milliseconds> [tween]
//   end
// Colours are names defined before or "none". Parts draw in file order; a child moves with its parent.
struct Shape {
    QPainterPath path;
    std::optional<QColor> fill;
    std::optional<QColor> stroke;
    float strokeWidth = 0;
};

struct Part {
    QString name;
    int parent = -1;
    QPointF pivot;
    bool visible = true;
    std::vector<Shape> shapes;
};

struct PartPose {
    float rotate = 0, dx = 0, dy = 0, scale = 1;
    bool visible = true;
    bool operator==(const PartPose&) const = default;
};

struct Pose {
    QString name;
    std::vector<PartPose> parts; // one per Part
    float figureDx = 0, figureDy = 0, figureScale = 1, opacity = 1;
    bool operator==(const Pose&) const = default;
};

struct Overlay {
    QString name;
    std::vector<std::pair<int, bool>> visibility; // part index, shown
};

struct Frame {
    int pose = 0;
    int durationMs = 100;
    bool tween = false; // move smoothly from the previous frame's pose over the duration
};

struct Animation {
    QString name;
    std::vector<Frame> frames;
};

struct CharacterData {
    QString name;
    QSize size;
    std::vector<Part> parts;
    std::vector<Pose> poses;
    std::vector<Overlay> overlays;
    std::vector<Animation> animations;

    const Animation* animation(const QString& name) const; // case-insensitive, as animation names are
    const Overlay* overlay(const QString& name) const;
    int pose(const QString& name) const;                    // -1 when absent
    QStringList animationNames() const;

    QHash<QString, int> animationIndex, poseIndex, overlayIndex; // lower-case names
};

// A failure names the file, the line and what is wrong.
platform::Result<CharacterData> ReadCharacterFile(const QString& path);
platform::Result<CharacterData> ParseCharacter(const QByteArray& content, const QString& fileName);

} // namespace character
