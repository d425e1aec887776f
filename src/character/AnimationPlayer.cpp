// Plays a character's animations on its window frame by frame, tweening where a frame asks for it.
#include "AnimationPlayer.h"

#include "CharacterWindow.h"

namespace character {

namespace {
const QString RestPose = QStringLiteral("rest");
} // namespace

AnimationPlayer::AnimationPlayer(const CharacterData& data, CharacterWindow& window, double timeScale, int tweenStepMs)
    : data_(data), drawing_(data, window), timeScale_(timeScale), tweenStepMs_(tweenStepMs)
{
    pose_ = data_.poses[size_t(data_.pose(RestPose))];
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &AnimationPlayer::frameTimeout);
    still_.setSingleShot(true);
    still_.setInterval(2000);
    connect(&still_, &QTimer::timeout, this, [this] { drawing_.letGo(); });
    connect(&window, &desktop::ShapedWindow::redrawNeeded, this, [this] {
        drawing_.forget();
        render();
    });
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
        // The in-between poses fall on whole steps, so a move played again shows the very same
        // poses and finds them drawn.
        const qint64 steps = std::max<qint64>(1, duration / std::max(1, tweenStepMs_));
        const qint64 step = std::min(steps, (elapsed * steps + duration / 2) / duration);
        setPose(Renderer::blend(tweenFrom_, data_.poses[size_t(f.pose)], int(step), int(steps)));
        // Rendering may outlast the frame; a negative interval would never fire and freeze the queue.
        const qint64 next = std::min<qint64>(duration, (step + 1) * duration / steps);
        frameTimer_.start(int(std::max<qint64>(0, next - frameClock_.elapsed())));
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
    std::vector<const Overlay*> overlays;
    if (mouthOpen_)
        if (const Overlay* o = data_.overlay(QStringLiteral("talk")))
            overlays.push_back(o);
    if (listening_)
        if (const Overlay* o = data_.overlay(QStringLiteral("listen")))
            overlays.push_back(o);
    drawing_.show(pose_, overlays);
    still_.start();
}

} // namespace character
