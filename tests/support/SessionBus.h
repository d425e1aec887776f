// A private D-Bus session bus for a test.
#pragma once
#include <QProcess>
#include <QTemporaryDir>

namespace testsupport {

// Starts no services itself: one it started (the desktop's portal, say) would answer in the test's place.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    bool ok() const { return !address_.isEmpty(); }
    const QString& address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

} // namespace testsupport
