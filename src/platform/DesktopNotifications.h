// Desktop notifications over the session bus (org.freedesktop.Notifications), sent without waiting.
#pragma once
#include "Notifier.h"

#include <QString>
#include <optional>

namespace platform {

class DesktopNotifications final : public Notifier {
public:
    // `busAddress` empty: the session bus the desktop gave us, if any. `icon` is a theme icon name or
    // a file path (see installedIcon()).
    explicit DesktopNotifications(QString icon, QString busAddress = {});
    ~DesktopNotifications() override;

    void notify(const QString& summary, const QString& body) override;

    // The session bus of this login, or empty where there is none. Never starts a bus: without one,
    // notifications are simply not sent.
    static QString sessionBusAddress();
    // "varrow" where the icon is installed in a theme the notification server can find, else the
    // path of the icon file beside the program (installed under another prefix, or in the build tree).
    static QString installedIcon();

private:
    bool connect();

    QString icon_, busAddress_, connectionName_;
    std::optional<bool> connected_; // tried once; a bus that was not there is not asked again
};

} // namespace platform
