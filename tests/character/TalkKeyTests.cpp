// The push-to-talk key through a GlobalShortcuts portal on a private session bus, and every talk key's rules.
#include "character/ListenKey.h"
#include "character/PortalListenKey.h"
#include "character/TalkKey.h"
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

const QString Path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

struct Shortcut {
    QString id;
    QVariantMap properties;
};

} // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

QDBusArgument& operator<<(QDBusArgument& a, const Shortcut& s)
{
    a.beginStructure();
    a << s.id << s.properties;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, Shortcut& s)
{
    a.beginStructure();
    a >> s.id >> s.properties;
    a.endStructure();
    return a;
}

// The portal's side, answering through Request objects as xdg-desktop-portal does.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QDBusConnection bus, uint answer = 0, QString trigger = QStringLiteral("Pause"))
        : bus_(bus), answer_(answer), trigger_(std::move(trigger))
    {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        bus_.registerVirtualObject(Path, this);
        bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override
    {
        if (m.interface() != Interface)
            return false;
        QString sender = m.service().mid(1);
        sender.replace(u'.', u'_');
        const QVariantMap options = qdbus_cast<QVariantMap>(m.arguments().constLast());
        const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                    .arg(sender, options.value(QStringLiteral("handle_token")).toString());
        QVariantMap results;
        if (m.member() == u"CreateSession") {
            session = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                          .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
            results[QStringLiteral("session_handle")] = session;
        } else if (m.member() == u"BindShortcuts") {
            boundSession = qdbus_cast<QDBusObjectPath>(m.arguments().at(0)).path();
            asked = qdbus_cast<QList<Shortcut>>(m.arguments().at(1));
            QList<Shortcut> given = asked;
            for (Shortcut& s : given)
                s.properties = {{QStringLiteral("description"), s.properties.value(QStringLiteral("description"))},
                                {QStringLiteral("trigger_description"), trigger_}};
            results[QStringLiteral("shortcuts")] = QVariant::fromValue(given);
        } else {
            return false;
        }
        connection.send(m.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"),
                                                           QStringLiteral("Response"));
        response << answer_ << results;
        connection.send(response);
        return true;
    }
    void key(const QString& id, bool down)
    {
        QDBusMessage s = QDBusMessage::createSignal(Path, Interface, down ? QStringLiteral("Activated") : QStringLiteral("Deactivated"));
        s << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        bus_.send(s);
    }

    QString session, boundSession;
    QList<Shortcut> asked;

private:
    QDBusConnection bus_;
    uint answer_;
    QString trigger_;
};

struct Recorder {
    std::vector<bool> held;
    QStringList told;
};

std::unique_ptr<character::TalkKey> makeKey(const testsupport::SessionBus& bus, Recorder& r, int capMs, bool withX11 = false)
{
    auto key = std::make_unique<character::TalkKey>(
        std::make_unique<character::PortalListenKey>(QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"))),
        withX11 ? std::make_unique<character::ListenKey>() : nullptr, true, capMs,
        [&r](const QString& why) { r.told << why; });
    QObject::connect(key.get(), &character::TalkKey::heldChanged, [&r](bool h) { r.held.push_back(h); });
    return key;
}

} // namespace

TEST(TalkKey, PortalShortcutFollowsTheKeyAndTheCapEndsAForgottenRelease)
{
    testsupport::SessionBus bus;
    FakePortal portal(QDBusConnection::connectToBus(bus.address(), QStringLiteral("portal")));
    Recorder r;
    auto key = makeKey(bus, r, 300);
    key->start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return key->via() == character::TalkKey::Via::Portal; }));
    ASSERT_EQ(portal.asked.size(), 1);
    EXPECT_EQ(portal.asked[0].id, QStringLiteral("talk"));
    EXPECT_EQ(portal.asked[0].properties.value(QStringLiteral("preferred_trigger")).toString(), QStringLiteral("Pause"));
    EXPECT_EQ(portal.boundSession, portal.session);

    portal.key(QStringLiteral("talk"), true);
    portal.key(QStringLiteral("other"), false); // another program's shortcut is none of ours
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 1; }));
    portal.key(QStringLiteral("talk"), false);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 2; }));
    EXPECT_EQ(r.held, (std::vector<bool>{true, false}));

    // The release never comes: the cap ends listening, and the late release adds nothing.
    portal.key(QStringLiteral("talk"), true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 4; }, 3000));
    EXPECT_EQ(r.held, (std::vector<bool>{true, false, true, false}));
    portal.key(QStringLiteral("talk"), false);
    portal.key(QStringLiteral("talk"), true);
    ASSERT_TRUE(testsupport::waitUntil([&] { return r.held.size() == 5; }));
    EXPECT_TRUE(r.held.back());
    EXPECT_TRUE(r.told.isEmpty()) << r.told.join(u'\n').toStdString();
}

TEST(TalkKey, WithoutPortalOrGrabTheUserIsToldOnceOfTheOtherWays)
{
    testsupport::SessionBus bus;
    enum { NoPortal, Declines, NoKeyGiven };
    for (const int portalThere : {NoPortal, Declines, NoKeyGiven}) {
        SCOPED_TRACE(portalThere);
        std::unique_ptr<FakePortal> portal;
        if (portalThere != NoPortal)
            portal = std::make_unique<FakePortal>(QDBusConnection::connectToBus(bus.address(), QStringLiteral("portal")), portalThere == Declines ? 1 : 0,
                                                  QString());
        Recorder r;
        auto key = makeKey(bus, r, 10000, true); // no X server here: the grab fails too
        key->start();
        ASSERT_TRUE(testsupport::waitUntil([&] { return !r.told.isEmpty(); }, 10000));
        QCoreApplication::processEvents();
        EXPECT_EQ(r.told.size(), 1);
        EXPECT_TRUE(r.told[0].contains(QStringLiteral("middle button"))) << r.told[0].toStdString();
        EXPECT_TRUE(r.told[0].contains(QStringLiteral("\"Listen\""))) << r.told[0].toStdString();
        EXPECT_EQ(key->via(), character::TalkKey::Via::None);
        EXPECT_TRUE(r.held.empty());
        if (portal)
            QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }
}
