// Calls handed to the thread an object lives on, in the order they were posted.
#pragma once
#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace platform {

// Qt's event queue hands work between threads under locks that a race checker cannot see, since Qt
// is not built with it; the calls wait here under a lock of our own, and a bare signal wakes the
// receiving thread's event loop to run them. The result is the same ordering, and every race the
// checker reports in what the calls carry is a real one.
class Mailbox : public QObject {
    Q_OBJECT
public:
    // Lives on the thread of `parent` (or this thread when none), and goes where it goes.
    explicit Mailbox(QObject* parent = nullptr);
    // From any thread.
    void post(std::function<void()> call);
    // Drops what has not run yet; a call running now finishes.
    void discard();

signals:
    void posted();

private:
    void run();

    std::mutex lock_;
    std::deque<std::function<void()>> calls_;
};

} // namespace platform
