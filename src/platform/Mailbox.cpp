// Calls handed to the thread an object lives on, in the order they were posted.
#include "Mailbox.h"

namespace platform {

Mailbox::Mailbox(QObject* parent) : QObject(parent)
{
    connect(this, &Mailbox::posted, this, &Mailbox::run, Qt::QueuedConnection);
}

void Mailbox::post(std::function<void()> call)
{
    {
        const std::lock_guard hold(lock_);
        calls_.push_back(std::move(call));
    }
    emit posted();
}

void Mailbox::discard()
{
    const std::lock_guard hold(lock_);
    calls_.clear();
}

void Mailbox::run()
{
    // One wake-up may find several calls, and a later one none.
    for (;;) {
        std::function<void()> call;
        {
            const std::lock_guard hold(lock_);
            if (calls_.empty())
                return;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}

} // namespace platform
