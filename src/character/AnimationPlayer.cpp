// Plays a character's animations on its window frame by frame, tweening where a frame asks for it.
#include "AnimationPlayer.h"

#include "CharacterWindow.h"

namespace character {

namespace {
const QString RestPose = QStringLiteral("rest");
// Room for every frame of the character at 1x (about 40 KB each), and at 2x for the idle moves and
// the usual requests (about 160 KB each).
constexpr qsizetype frameCacheBytes = 24 << 20;
} // namespace

AnimationPlayer::AnimationPlayer(const CharacterData& data, CharacterWindow& window, double timeScale, int tweenStepMs)
    : data_(data), window_(window), renderer_(data), cache_(frameCacheBytes), timeScale_(timeScale),
      tweenStepMs_(tweenStepMs)
{
    pose_ = data_.poses[size_t(data_.pose(RestPose))];
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &AnimationPlayer::frameTimeout);
    connect(&window_, &desktop::ShapedWindow::redrawNeeded, this, &AnimationPlayer::redraw);
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
        setPose(Renderer::blend(tweenFrom_, data_.poses[size_t(f.pose)], float(step) / float(steps)));
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
    Pose p = pose_;
    if (mouthOpen_)
        if (const Overlay* o = data_.overlay(QStringLiteral("talk")))
            renderer_.applyOverlay(p, *o);
    if (listening_)
        if (const Overlay* o = data_.overlay(QStringLiteral("listen")))
            renderer_.applyOverlay(p, *o);
    // Held poses and repeated frames draw nothing new: the window and its shape stay as they are.
    const qreal scale = window_.scale();
    const bool compositing = window_.compositing();
    if (drawn_ == p && drawnScale_ == scale && drawnCompositing_ == compositing)
        return;
    // The whole figure moves by whole device pixels, so a frame it only moves in is one already
    // drawn, shifted: a bob or a hop draws nothing new.
    const QPoint shift(qRound(p.figureDx * scale), qRound(p.figureDy * scale));
    Pose still = p;
    still.figureDx = still.figureDy = 0;
    const desktop::Silhouette* frame = cache_.find(still, scale, compositing);
    if (!frame) {
        frame = &cache_.insert(still, scale, compositing, desktop::Silhouette::of(draw(still, scale), data_.size, compositing));
        ++framesDrawn_;
    }
    // Where the frame differs from the one shown is known from the parts alone, unless the figure
    // as a whole moved.
    std::optional<QRect> changed;
    if (drawn_ && drawnScale_ == scale && drawnCompositing_ == compositing && drawnShift_ == shift)
        changed = renderer_.changedArea(drawnStill_, still, scale).translated(shift);
    window_.setSilhouette(shift.isNull() ? *frame : frame->shifted(shift), changed);
    drawnStill_ = std::move(still);
    drawnShift_ = shift;
    drawn_ = std::move(p);
    drawnScale_ = scale;
    drawnCompositing_ = compositing;
}

QImage AnimationPlayer::draw(const Pose& pose, qreal scale)
{
    // Most frames differ from the one drawn before in a few parts (the eyes, a hand, the mouth):
    // only where those were and are now is drawn again.
    const bool over = !lastDrawn_.isNull() && lastDrawn_.devicePixelRatio() == scale;
    const QRect changed = over ? renderer_.changedArea(lastPose_, pose, scale) : QRect();
    if (over && 2 * qint64(changed.width()) * changed.height() < qint64(lastDrawn_.width()) * lastDrawn_.height())
        renderer_.renderInto(lastDrawn_, pose, changed);
    else
        lastDrawn_ = renderer_.render(pose, scale);
    lastPose_ = pose;
    return lastDrawn_;
}

void AnimationPlayer::redraw()
{
    drawn_.reset();
    render();
}

} // namespace character
