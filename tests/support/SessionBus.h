// A private D-Bus session bus for a test.
#pragma once
#include <QProcess>
#include <QTemporaryDir>

namespace testsupport {

// The bus starts no services of its own: what a test needs it starts itself, and what the bus would
// start (the desktop's own portal, say) would answer in the test's place or outlive it.
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
