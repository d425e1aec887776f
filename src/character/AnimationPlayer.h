// Plays a character's animations on its window frame by frame, tweening where a frame asks for it.
#pragma once
#include "CharacterFile.h"
#include "FigureDrawing.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

namespace character {

class CharacterWindow;

class AnimationPlayer : public QObject {
    Q_OBJECT
public:
    // `timeScale` stretches every frame (tests run animations faster); `tweenStepMs` is the
    // interval between the in-between poses of a tweened frame.
    AnimationPlayer(const CharacterData& data, CharacterWindow& window, double timeScale, int tweenStepMs);

    // Plays `animation` from its first frame; `done` runs when it has played to its end, not when
    // it is stopped.
    void play(const Animation& animation, std::function<void()> done);
    void stop();
    // Stops and stands still in the rest pose.
    void rest();
    const Animation* current() const { return animation_; }

    // The overlays drawn over whatever pose is showing.
    void setMouthOpen(bool open);
    void setListening(bool listening);

    int scaled(int ms) const { return int(ms * timeScale_); }

private:
    void enterFrame();
    void frameTimeout();
    void setPose(const Pose& pose);
    void render();

    const CharacterData& data_;
    FigureDrawing drawing_;
    double timeScale_;
    int tweenStepMs_;

    const Animation* animation_ = nullptr;
    std::function<void()> done_;
    size_t frame_ = 0;
    Pose pose_, tweenFrom_;
    QElapsedTimer frameClock_;
    QTimer frameTimer_;
    QTimer still_; // no frame shown for a while: the drawing lets go of its image
    bool mouthOpen_ = false;
    bool listening_ = false;
};

} // namespace character
