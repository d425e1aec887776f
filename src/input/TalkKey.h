// The push-to-talk key this desktop can give us: the portal's shortcut, the X11 grab, or none.
#pragma once
#include "platform/UserReport.h"
#include <QObject>
#include <QTimer>
#include <memory>

namespace input {

class ListenKey;
class PortalListenKey;

// Prefers the desktop portal, which hears the key whatever window has the focus; uses the X11 grab
// until the portal has bound the shortcut to a key, or instead of it where it cannot; and tells the user
// once where the key cannot reach us. Whichever key it is, listening ends when the key goes up, and
// after `capMs` at the latest.
class TalkKey : public QObject {
    Q_OBJECT
public:
    enum class Via { None, Portal, X11 };

    // Either source may be null. A Wayland session's X11 grab sees the key only while an X11
    // window has the focus, which the user is told.
    TalkKey(std::unique_ptr<PortalListenKey> portal, std::unique_ptr<ListenKey> x11, bool waylandSession, int capMs,
            platform::UserReport& report);
    ~TalkKey() override;

    void start();
    Via via() const { return via_; }

signals:
    void heldChanged(bool held);

private:
    void sourceHeld(bool held);
    void portalUnavailable();
    void tell(const QString& why);

    std::unique_ptr<PortalListenKey> portal_;
    std::unique_ptr<ListenKey> x11_;
    bool wayland_;
    platform::UserReport& report_;
    QString x11Why_;
    Via via_ = Via::None;
    bool held_ = false;
    bool told_ = false;
    QTimer cap_;
};

// The key for this process: the session bus's portal, and the X server's grab where there is one.
std::unique_ptr<TalkKey> MakeTalkKey(int capMs, platform::UserReport& report);

} // namespace input
