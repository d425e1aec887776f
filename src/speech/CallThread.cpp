// A thread of its own for calls into a library that can block for good (a daemon that stopped answering).
#include "CallThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace speech {

struct CallThread::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> calls;
    bool closing = false;
    bool ended = false;

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return closing || !calls.empty(); });
            if (calls.empty())
                break;
            std::function<void()> call = std::move(calls.front());
            calls.pop_front();
            lock.unlock();
            call();
            call = nullptr; // what it owned goes here, not under the lock
            lock.lock();
        }
        ended = true;
        changed.notify_all();
    }
};

CallThread::CallThread() : queue_(std::make_shared<Queue>())
{
    thread_ = std::thread([queue = queue_] { queue->run(); });
}

CallThread::~CallThread()
{
    finish(0);
}

void CallThread::post(std::function<void()> call)
{
    std::lock_guard<std::mutex> lock(queue_->mutex);
    queue_->calls.push_back(std::move(call));
    queue_->changed.notify_all();
}

bool CallThread::finish(int graceMs)
{
    if (!thread_.joinable())
        return true;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(queue_->mutex);
        queue_->closing = true;
        queue_->changed.notify_all();
        ended = queue_->changed.wait_for(lock, std::chrono::milliseconds(graceMs), [this] { return queue_->ended; });
    }
    if (ended)
        thread_.join();
    else
        thread_.detach(); // the queue it works on is its own as much as ours
    return ended;
}

} // namespace speech
