// A private session bus on a test display, with or without dunst owning the notification service.
#pragma once
#include "Desktop.h"
#include "support/SessionBus.h"

#include <QProcess>
#include <QTemporaryDir>

namespace e2e {

class NotificationServer {
public:
    // The desktop's programs use this bus from now on; without `withDaemon` nobody owns the service.
    NotificationServer(Desktop& desktop, bool withDaemon);
    ~NotificationServer();
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    int displayed() const; // -1 when dunst does not answer
    // Closes those on show; returns all so far, oldest first, as "application|icon file|summary|body".
    QStringList closeAll() const;

private:
    Desktop& desktop_;
    QTemporaryDir dir_;
    testsupport::SessionBus bus_;
    QProcess daemon_;
    QString error_;
};

} // namespace e2e
