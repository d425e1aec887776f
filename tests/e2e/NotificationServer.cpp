// A private session bus on a test display, with or without dunst owning the notification service.
#include "NotificationServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QFileInfo>

namespace e2e {

namespace {

// Notifications stay until closed, and duplicates are shown as they come, so a test can count them.
const char DunstConfig[] = R"([global]
    notification_limit = 0
    stack_duplicates = false
    history_length = 50
    markup = full
    format = "<b>%a: %s</b>\n%b"
    min_icon_size = 32
    max_icon_size = 32
[urgency_low]
    timeout = 0
[urgency_normal]
    timeout = 0
[urgency_critical]
    timeout = 0
)";

} // namespace

NotificationServer::NotificationServer(Desktop& desktop, bool withDaemon) : desktop_(desktop)
{
    if (!bus_.ok()) {
        error_ = "dbus-daemon did not start";
        return;
    }
    desktop_.setSessionBus(bus_.address());
    if (!withDaemon)
        return;

    QFile dunstrc(dir_.filePath("dunstrc"));
    if (!dunstrc.open(QIODevice::WriteOnly) || dunstrc.write(DunstConfig) < 0) {
        error_ = "cannot write the dunst configuration";
        return;
    }
    dunstrc.close();
    daemon_.setProcessEnvironment(desktop_.environment());
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
    daemon_.start("dunst", {"-config", dunstrc.fileName()});
    if (!WaitUntil([&] { return displayed() >= 0 || daemon_.state() == QProcess::NotRunning; }, 10000, 20) || displayed() < 0)
        error_ = "dunst did not take the notification service";
}

NotificationServer::~NotificationServer()
{
    Stop(daemon_);
    desktop_.setSessionBus({});
}

int NotificationServer::displayed() const
{
    bool ok = false;
    const int n = desktop_.run("dunstctl", {"count", "displayed"}).value_or(QString()).trimmed().toInt(&ok);
    return ok ? n : -1;
}

QStringList NotificationServer::closeAll() const
{
    desktop_.run("dunstctl", {"close-all"});
    // {"type": "aa{sv}", "data": [[{"appname": {"type": "s", "data": "Varrow"}, ...}, ...]]}, newest first
    QStringList all;
    const QString history = desktop_.run("dunstctl", {"history"}).value_or(QString());
    for (const QJsonValue& n : QJsonDocument::fromJson(history.toUtf8())["data"][0].toArray()) {
        auto field = [&](const char* name) { return n[QLatin1String(name)]["data"].toString(); };
        all.prepend(QStringList{field("appname"), QFileInfo(field("icon_path")).fileName(), field("summary"), field("body")}
                        .join(u'|'));
    }
    return all;
}

} // namespace e2e
