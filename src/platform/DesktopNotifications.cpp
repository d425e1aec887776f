// Desktop notifications over the session bus (org.freedesktop.Notifications), sent without waiting.
#include "DesktopNotifications.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QVariantMap>

namespace platform {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

// Servers read the body as simple markup: a path or a setting's text must come through as typed.
QString escapeMarkup(QString text)
{
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
}
} // namespace

DesktopNotifications::DesktopNotifications(QString icon, QString busAddress)
    : icon_(std::move(icon)), busAddress_(busAddress.isEmpty() ? sessionBusAddress() : std::move(busAddress)),
      connectionName_(QStringLiteral("varrow-notifications-%1").arg(quintptr(this)))
{
}

DesktopNotifications::~DesktopNotifications()
{
    if (connected_)
        QDBusConnection::disconnectFromBus(connectionName_);
}

QString DesktopNotifications::sessionBusAddress()
{
    const QString given = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!given.isEmpty())
        return given;
    // A systemd user session has its bus here even where the variable was not passed on.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

QString DesktopNotifications::installedIcon()
{
    for (const char* file : {"icons/hicolor/scalable/apps/varrow.svg", "icons/hicolor/32x32/apps/varrow.png"})
        if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation, QLatin1String(file)).isEmpty())
            return QStringLiteral("varrow");
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const char* file : {"../share/icons/hicolor/32x32/apps/varrow.png", "varrow-32.png"}) {
        const QFileInfo candidate(programDir.filePath(QLatin1String(file)));
        if (candidate.isFile())
            return candidate.canonicalFilePath();
    }
    return {};
}

bool DesktopNotifications::connect()
{
    if (!connected_) {
        // Connecting is a local socket and one round trip to the bus daemon: quick, and done only
        // when there is something to tell.
        connected_ = !busAddress_.isEmpty() &&
                     QDBusConnection::connectToBus(busAddress_, connectionName_).isConnected();
        if (!*connected_)
            qCDebug(lcPlatform) << "no session bus for desktop notifications at" << busAddress_;
    }
    return *connected_;
}

void DesktopNotifications::notify(const QString& summary, const QString& body)
{
    if (!connect())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.hollin.varrow")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    call << QStringLiteral("Varrow") << uint(0) << icon_ << summary << escapeMarkup(body) << QStringList() << hints
         << int(-1);
    // No reply is awaited: with no server the bus answers with an error nobody needs to read, and the
    // bus may start one that is installed but not running.
    QDBusConnection(connectionName_).asyncCall(call);
}

} // namespace platform
