// The push-to-talk key through the desktop portal's global shortcuts, for Wayland sessions.
#include "PortalListenKey.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QList>

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString talkId = QStringLiteral("talk");

// One entry of the portal's a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
} // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {
QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s)
{
    arg.beginStructure();
    arg << s.id << s.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s)
{
    arg.beginStructure();
    arg >> s.id >> s.properties;
    arg.endStructure();
    return arg;
}

QString pathOrString(const QVariant& v)
{
    if (v.canConvert<QDBusObjectPath>())
        return v.value<QDBusObjectPath>().path();
    return v.toString();
}
} // namespace

namespace input {

PortalListenKey::PortalListenKey(QDBusConnection bus) : bus_(std::move(bus))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalListenKey::~PortalListenKey()
{
    if (!session_.isEmpty() && bus_.isConnected())
        bus_.asyncCall(QDBusMessage::createMethodCall(portalService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                                                      QStringLiteral("Close")));
}

void PortalListenKey::start()
{
    if (step_ != Step::Idle)
        return;
    if (!bus_.isConnected()) {
        fail(QStringLiteral("there is no session bus"));
        return;
    }
    for (const QString& name : {QStringLiteral("Activated"), QStringLiteral("Deactivated")})
        bus_.connect(portalService, portalPath, shortcutsInterface, name, this, SLOT(onShortcut(QDBusMessage)));
    step_ = Step::Session;
    const QString token = QStringLiteral("varrow_session");
    call(QStringLiteral("CreateSession"),
         {QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("session_handle_token"), token}}}, token);
}

// Portal requests answer twice: the call returns a request object, whose Response signal carries the result.
// The signal is subscribed before the call so that a quick answer is not missed.
void PortalListenKey::call(const QString& method, const QVariantList& args, const QString& token)
{
    request_ = requestPath(token);
    bus_.connect(portalService, request_, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                 this, SLOT(onResponse(uint, QVariantMap)));
    QDBusMessage message = QDBusMessage::createMethodCall(portalService, portalPath, shortcutsInterface, method);
    message.setArguments(args);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            fail(reply.error().message());
            return;
        }
        const QString handle = reply.value().path();
        if (handle != request_) { // a portal older than the handle_token convention
            bus_.disconnect(portalService, request_, QStringLiteral("org.freedesktop.portal.Request"),
                            QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
            request_ = handle;
            bus_.connect(portalService, request_, QStringLiteral("org.freedesktop.portal.Request"),
                         QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        }
    });
}

QString PortalListenKey::requestPath(const QString& token) const
{
    QString sender = bus_.baseService().mid(1);
    sender.replace(u'.', u'_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalListenKey::onResponse(uint response, const QVariantMap& results)
{
    bus_.disconnect(portalService, request_, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                    this, SLOT(onResponse(uint, QVariantMap)));
    if (response != 0) {
        const QString what = step_ == Step::Session ? QStringLiteral("a shortcut session") : QStringLiteral("the shortcut");
        fail(response == 1 ? QStringLiteral("the user did not allow %1").arg(what)
                           : QStringLiteral("the desktop refused %1").arg(what));
        return;
    }
    if (step_ == Step::Session) {
        session_ = pathOrString(results.value(QStringLiteral("session_handle")));
        if (session_.isEmpty()) {
            fail(QStringLiteral("the portal gave no session"));
            return;
        }
        step_ = Step::Bind;
        const QString token = QStringLiteral("varrow_bind");
        const QList<PortalShortcut> shortcuts{
            {talkId, {{QStringLiteral("description"), QStringLiteral("Hold to talk to Genie")},
                      {QStringLiteral("preferred_trigger"), QStringLiteral("Pause")}}}};
        call(QStringLiteral("BindShortcuts"),
             {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString(),
              QVariantMap{{QStringLiteral("handle_token"), token}}},
             token);
    } else if (step_ == Step::Bind) {
        QList<PortalShortcut> given;
        const QVariant list = results.value(QStringLiteral("shortcuts"));
        if (list.canConvert<QDBusArgument>())
            list.value<QDBusArgument>() >> given;
        for (const PortalShortcut& s : given)
            if (s.id == talkId)
                trigger_ = s.properties.value(QStringLiteral("trigger_description")).toString();
        step_ = Step::Done;
        bound_ = true;
        emit bound();
    }
}

// Activated and Deactivated: (session, shortcut id, timestamp, options).
void PortalListenKey::onShortcut(const QDBusMessage& signal)
{
    const QVariantList args = signal.arguments();
    if (!bound_ || args.size() < 2 || qdbus_cast<QDBusObjectPath>(args[0]).path() != session_ || args[1].toString() != talkId)
        return;
    const bool down = signal.member() == u"Activated";
    if (down == held_)
        return;
    held_ = down;
    emit heldChanged(down);
}

void PortalListenKey::fail(const QString& why)
{
    if (failed_ || bound_)
        return;
    failed_ = true;
    step_ = Step::Done;
    emit unavailable(why);
}

} // namespace input
