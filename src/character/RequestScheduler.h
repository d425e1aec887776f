// Carries out a figure's requests one at a time in call order, and tells when the figure is idling.
#pragma once
#include "RequestQueue.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace character {

class RequestScheduler : public QObject {
    Q_OBJECT
public:
    // `execute` starts a request; the request stays running until finish() is called, which
    // `execute` may do itself for a request that takes no time.
    RequestScheduler(int idleDelayMs, std::function<void(const Request&)> execute);

    // Queues a request; it starts once the caller has returned to the event loop.
    void push(Request r);
    void finish();
    // Drops the owner's waiting requests of these kinds; true when the running one is among them
    // (the caller cuts it short and calls finish()).
    bool dropWaiting(int owner, unsigned kinds);

    // While the user talks only showing and hiding go on; the rest waits.
    void hold(bool held);
    // Idling is for a figure the user can see: off screen it neither starts nor goes on.
    void setIdleAllowed(bool allowed);

    const std::optional<Request>& running() const { return running_; }
    size_t queued() const { return queue_.size(); }
    bool idle() const { return idle_; }

signals:
    void started(const character::Request& request);
    void finished(const character::Request& request);
    void idleStarted();
    void idleEnded();
    // A pass over the queue has ended: what it changed can be shown now, all at once.
    void passEnded();

private:
    void schedule();
    void run();
    void startIdle();
    void leaveIdle();
    void armIdle();

    std::function<void(const Request&)> execute_;
    RequestQueue queue_;
    std::optional<Request> running_;
    bool runScheduled_ = false;
    bool held_ = false;
    bool idleAllowed_ = true;
    bool idle_ = false;
    QTimer idleTimer_;
};

} // namespace character
