// Carries out a figure's requests one at a time in call order, and tells when the figure is idling.
#include "RequestScheduler.h"

#include "Log.h"

namespace character {

namespace {
bool showsOrHides(const Request& r)
{
    return r.kind == Request::Kind::Show || r.kind == Request::Kind::Hide;
}
} // namespace

RequestScheduler::RequestScheduler(int idleDelayMs, std::function<void(const Request&)> execute)
    : execute_(std::move(execute))
{
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(idleDelayMs);
    connect(&idleTimer_, &QTimer::timeout, this, &RequestScheduler::startIdle);
}

void RequestScheduler::push(Request r)
{
    leaveIdle();
    if (r.urgent)
        queue_.pushUrgent(std::move(r));
    else
        queue_.push(std::move(r));
    schedule();
}

void RequestScheduler::finish()
{
    if (!running_)
        return;
    const Request done = *running_;
    running_.reset();
    emit finished(done);
    schedule();
}

bool RequestScheduler::dropWaiting(int owner, unsigned kinds)
{
    queue_.stopAll(owner, kinds);
    return running_ && running_->owner == owner && StoppedBy(*running_, kinds);
}

void RequestScheduler::hold(bool held)
{
    if (held_ == held)
        return;
    held_ = held;
    if (!held)
        schedule();
}

void RequestScheduler::setIdleAllowed(bool allowed)
{
    idleAllowed_ = allowed;
    if (!allowed)
        leaveIdle();
    else
        armIdle();
}

void RequestScheduler::schedule()
{
    if (runScheduled_)
        return;
    runScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        runScheduled_ = false;
        run();
    });
}

void RequestScheduler::run()
{
    while (!running_ && !queue_.empty() && (!held_ || showsOrHides(queue_.front()))) {
        running_ = *queue_.pop();
        qCDebug(lcCharacter) << "request" << int(running_->kind) << running_->name.left(80) << "of" << running_->owner;
        emit started(*running_);
        execute_(*running_);
    }
    armIdle();
    emit passEnded();
}

void RequestScheduler::armIdle()
{
    if (idleAllowed_ && !running_ && queue_.empty() && !idle_ && !idleTimer_.isActive())
        idleTimer_.start();
}

void RequestScheduler::startIdle()
{
    if (running_ || !queue_.empty() || !idleAllowed_)
        return;
    idle_ = true;
    emit idleStarted();
}

void RequestScheduler::leaveIdle()
{
    idleTimer_.stop();
    if (!idle_)
        return;
    idle_ = false;
    emit idleEnded();
}

} // namespace character
