// The push-to-talk key this desktop can give us: the portal's shortcut, the X11 grab, or none.
#include "TalkKey.h"

#include "ListenKey.h"
#include "PortalListenKey.h"

#include <QDBusConnection>
#include <QGuiApplication>

namespace input {

namespace {
const QString otherWays = QStringLiteral("hold the middle button on the character or pick \"Listen\" from its menu.");
}

TalkKey::TalkKey(std::unique_ptr<PortalListenKey> portal, std::unique_ptr<ListenKey> x11, bool waylandSession,
                 int capMs, platform::UserReport& report)
    : portal_(std::move(portal)), x11_(std::move(x11)), wayland_(waylandSession), report_(report)
{
    cap_.setSingleShot(true);
    cap_.setInterval(capMs);
    // A key held past the cap, or whose release never reached us, ends the utterance here.
    connect(&cap_, &QTimer::timeout, this, [this] {
        if (!held_)
            return;
        held_ = false;
        emit heldChanged(false);
    });
}

TalkKey::~TalkKey() = default;

void TalkKey::start()
{
    if (x11_) {
        if (const platform::Result<> grabbed = x11_->grab()) {
            via_ = Via::X11;
            connect(x11_.get(), &ListenKey::heldChanged, this, &TalkKey::sourceHeld);
        } else {
            x11Why_ = grabbed.why();
            x11_.reset();
        }
    }
    if (!portal_) {
        portalUnavailable();
        return;
    }
    connect(portal_.get(), &PortalListenKey::heldChanged, this, &TalkKey::sourceHeld);
    connect(portal_.get(), &PortalListenKey::bound, this, [this] {
        // Bound without a key (Plasma 5.27 does that for a program outside a sandbox): the grab stays.
        if (portal_->trigger().isEmpty()) {
            portalUnavailable();
            return;
        }
        // One key, one source: the grab would report the same press again.
        if (x11_ && held_)
            sourceHeld(false);
        x11_.reset();
        via_ = Via::Portal;
    });
    connect(portal_.get(), &PortalListenKey::unavailable, this, [this] { portalUnavailable(); });
    portal_->start();
}

void TalkKey::portalUnavailable()
{
    if (!x11_) {
        via_ = Via::None;
        tell(x11Why_.isEmpty() ? QStringLiteral("The Pause key cannot be used to talk on this desktop; ") + otherWays
                               : x11Why_);
    } else if (wayland_) {
        tell(QStringLiteral("On this Wayland desktop the Pause key reaches Varrow only while an X11 program has the "
                            "focus; elsewhere ") + otherWays);
    }
}

void TalkKey::sourceHeld(bool held)
{
    if (held == held_)
        return; // a release after the cap ended it, or the other source repeating the key
    held_ = held;
    if (held)
        cap_.start();
    else
        cap_.stop();
    emit heldChanged(held);
}

void TalkKey::tell(const QString& why)
{
    if (told_)
        return;
    told_ = true;
    report_.problem(QStringLiteral("No key to talk"), why);
}

std::unique_ptr<TalkKey> MakeTalkKey(int capMs, platform::UserReport& report)
{
    const bool wayland = QGuiApplication::platformName() == u"wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto portal = bus.isConnected() ? std::make_unique<PortalListenKey>(bus) : nullptr;
    return std::make_unique<TalkKey>(std::move(portal), std::make_unique<ListenKey>(), wayland, capMs, report);
}

} // namespace input
