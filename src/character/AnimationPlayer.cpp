// Plays a character's animations on its window frame by frame, tweening where a frame asks for it.
#include "AnimationPlayer.h"

#include "CharacterWindow.h"

namespace character {

namespace {
const QString RestPose = QStringLiteral("rest");
}

AnimationPlayer::AnimationPlayer(const CharacterData& data, CharacterWindow& window, double timeScale, int tweenStepMs)
    : data_(data), window_(window), renderer_(data), timeScale_(timeScale), tweenStepMs_(tweenStepMs)
{
    pose_ = data_.poses[size_t(data_.pose(RestPose))];
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &AnimationPlayer::frameTimeout);
    render();
}

void AnimationPlayer::play(const Animation& animation, std::function<void()> done)
{
    stop();
    animation_ = &animation;
    done_ = std::move(done);
    frame_ = 0;
    enterFrame();
}

void AnimationPlayer::stop()
{
    frameTimer_.stop();
    animation_ = nullptr;
    done_ = nullptr;
}

void AnimationPlayer::rest()
{
    stop();
    setPose(data_.poses[size_t(data_.pose(RestPose))]);
}

void AnimationPlayer::setMouthOpen(bool open)
{
    if (mouthOpen_ == open)
        return;
    mouthOpen_ = open;
    render();
}

void AnimationPlayer::setListening(bool listening)
{
    if (listening_ == listening)
        return;
    listening_ = listening;
    render();
}

void AnimationPlayer::enterFrame()
{
    if (!animation_)
        return;
    if (frame_ >= animation_->frames.size()) {
        animation_ = nullptr;
        auto done = std::move(done_);
        done_ = nullptr;
        if (done)
            done();
        return;
    }
    const Frame& f = animation_->frames[frame_];
    if (f.tween) {
        tweenFrom_ = pose_;
        frameClock_.restart();
        frameTimer_.start(0);
        return;
    }
    setPose(data_.poses[size_t(f.pose)]);
    frameTimer_.start(scaled(f.durationMs));
}

void AnimationPlayer::frameTimeout()
{
    if (!animation_)
        return;
    const Frame& f = animation_->frames[frame_];
    const int duration = scaled(f.durationMs);
    const qint64 elapsed = frameClock_.elapsed();
    if (f.tween && elapsed < duration) {
        setPose(Renderer::blend(tweenFrom_, data_.poses[size_t(f.pose)], float(elapsed) / float(duration)));
        // Rendering may outlast the frame; a negative interval would never fire and freeze the queue.
        const qint64 left = std::max<qint64>(0, duration - frameClock_.elapsed());
        frameTimer_.start(int(std::min<qint64>(tweenStepMs_, left)));
        return;
    }
    if (f.tween)
        setPose(data_.poses[size_t(f.pose)]);
    ++frame_;
    enterFrame();
}

void AnimationPlayer::setPose(const Pose& pose)
{
    pose_ = pose;
    render();
}

void AnimationPlayer::render()
{
    Pose p = pose_;
    if (mouthOpen_)
        if (const Overlay* o = data_.overlay(QStringLiteral("talk")))
            renderer_.applyOverlay(p, *o);
    if (listening_)
        if (const Overlay* o = data_.overlay(QStringLiteral("listen")))
            renderer_.applyOverlay(p, *o);
    // Held poses and repeated frames draw nothing new: the window and its shape stay as they are.
    if (drawn_ == p)
        return;
    window_.setFrame(renderer_.render(p));
    drawn_ = std::move(p);
}

} // namespace character
