// The push-to-talk key through a GlobalShortcuts portal on a private session bus, and every talk key's rules.
#include "input/ListenKey.h"
#include "input/PortalListenKey.h"
#include "input/TalkKey.h"
#include "support/SessionBus.h"
#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <gtest/gtest.h>

namespace {

const QString Path = "/org/freedesktop/portal/desktop";
const QString Interface = "org.freedesktop.portal.GlobalShortcuts";

// A shortcut as the portal gives it: its id and its properties, (sa{sv}).
using Shortcut = std::pair<QString, QVariantMap>;

// The portal's side, answering through Request objects as xdg-desktop-portal does. Connections are named
// after their bus: Qt hands back one of an earlier test's name, to a bus now gone.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection bus, QString trigger = "Pause") : bus_(bus), trigger_(std::move(trigger))
    {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        bus_.registerVirtualObject(Path, this);
        bus_.registerService("org.freedesktop.portal.Desktop");
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override
    {
        if (m.interface() != Interface)
            return false;
        const QString sender = m.service().mid(1).replace(u'.', u'_');
        const QVariantMap options = qdbus_cast<QVariantMap>(m.arguments().constLast());
        const QString request = "/org/freedesktop/portal/desktop/request/" + sender + u'/' + options.value("handle_token").toString();
        QVariantMap results;
        if (m.member() == u"CreateSession") {
            session = "/org/freedesktop/portal/desktop/session/" + sender + u'/' + options.value("session_handle_token").toString();
            results["session_handle"] = session;
        } else if (m.member() == u"BindShortcuts") {
            boundSession = qdbus_cast<QDBusObjectPath>(m.arguments().at(0)).path();
            asked = qdbus_cast<QList<Shortcut>>(m.arguments().at(1));
            QList<Shortcut> given = asked;
            for (Shortcut& s : given)
                s.second = {{"description", s.second.value("description")}, {"trigger_description", trigger_}};
            results["shortcuts"] = QVariant::fromValue(given);
        } else {
            return false;
        }
        connection.send(m.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << 0u << results;
        connection.send(response);
        return true;
    }
    void key(const QString& id, bool down)
    {
        QDBusMessage s = QDBusMessage::createSignal(Path, Interface, down ? "Activated" : "Deactivated");
        s << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        bus_.send(s);
    }

    QString session, boundSession;
    QList<Shortcut> asked;

private:
    QDBusConnection bus_;
    QString trigger_;
};

// A talk key through the portal on `bus` (and the X grab, `withX11`), and what it did and told the user.
struct Talk {
    Talk(const testsupport::SessionBus& bus, int capMs, bool withX11 = false)
        : key(std::make_unique<input::PortalListenKey>(QDBusConnection::connectToBus(bus.address(), bus.address())),
              withX11 ? std::make_unique<input::ListenKey>() : nullptr, true, capMs, report)
    {
        QObject::connect(&report, &platform::UserReport::reported,
                         [this](const QString&, const QString& m) { told << m; });
        QObject::connect(&key, &input::TalkKey::heldChanged, [this](bool h) { held.push_back(h); });
    }
    std::vector<bool> held;
    QStringList told;
    platform::UserReport report{nullptr, nullptr};
    input::TalkKey key;
};

} // namespace

TEST(TalkKey, PortalShortcutFollowsTheKeyAndTheCapEndsAForgottenRelease)
{
    testsupport::SessionBus bus;
    FakePortal portal(QDBusConnection::connectToBus(bus.address(), "portal " + bus.address()));
    Talk r(bus, 300);
    r.key.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.key.via() == input::TalkKey::Via::Portal; }));
    ASSERT_EQ(portal.asked.size(), 1);
    EXPECT_EQ(portal.asked[0].first, "talk");
    EXPECT_EQ(portal.asked[0].second.value("preferred_trigger").toString(), "Pause");
    EXPECT_EQ(portal.boundSession, portal.session);

    portal.key("talk", true);
    portal.key("other", false); // another program's shortcut is none of ours
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 1; }));
    portal.key("talk", false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 2; }));
    EXPECT_EQ(r.held, (std::vector<bool>{true, false}));

    // The release never comes: the cap ends listening, and the late release adds nothing.
    portal.key("talk", true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 4; }, 3000));
    EXPECT_EQ(r.held, (std::vector<bool>{true, false, true, false}));
    portal.key("talk", false);
    portal.key("talk", true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 5; }));
    EXPECT_TRUE(r.held.back());
    EXPECT_TRUE(r.told.isEmpty()) << r.told.join(u'\n').toStdString();
}

// A portal that binds the shortcut without a key (Plasma 5.27 does so for a program outside a sandbox),
// and no grab: a missing or declining portal ends in the same telling.
TEST(TalkKey, WithoutPortalOrGrabTheUserIsToldOnceOfTheOtherWays)
{
    testsupport::SessionBus bus;
    FakePortal portal(QDBusConnection::connectToBus(bus.address(), "portal " + bus.address()), QString());
    Talk r(bus, 10000, true); // no X server here: the grab fails too
    r.key.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !r.told.isEmpty(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(r.told.size(), 1);
    EXPECT_TRUE(r.told[0].contains("middle button")) << r.told[0].toStdString();
    EXPECT_TRUE(r.told[0].contains("\"Listen\"")) << r.told[0].toStdString();
    EXPECT_EQ(r.key.via(), input::TalkKey::Via::None);
    EXPECT_TRUE(r.held.empty());
}
