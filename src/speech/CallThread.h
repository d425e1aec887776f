// A thread of its own for calls into a library that can block for good (a daemon that stopped answering).
#pragma once
#include <functional>
#include <memory>
#include <thread>

namespace speech {

// Runs the calls posted to it one at a time, in order. A call that never returns keeps only this
// thread: at the end it is left behind rather than waited for. Calls must own what they touch.
class CallThread {
public:
    CallThread();
    ~CallThread(); // as finish(0)
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;

    void post(std::function<void()> call);
    // Runs what was posted, then ends. Waits at most `graceMs` for that; returns whether it ended,
    // or was left behind to end whenever its last call returns.
    bool finish(int graceMs);

private:
    struct Queue;
    std::shared_ptr<Queue> queue_;
    std::thread thread_;
};

} // namespace speech
