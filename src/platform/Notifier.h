// Where a message for the user goes besides the terminal: a desktop notification, or a test's record.
#pragma once
#include <QString>

namespace platform {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Must return at once: a notification that cannot be shown is dropped, never waited for.
    virtual void notify(const QString& summary, const QString& body) = 0;
};

} // namespace platform
