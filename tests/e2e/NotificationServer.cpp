// A private session bus on a test display, with or without dunst owning the notification service.
#include "NotificationServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QFileInfo>

namespace e2e {

namespace {

// Notifications stay until closed, and duplicates are shown as they come, so a test can count them.
const char DunstConfig[] = "[global]\nnotification_limit=0\nstack_duplicates=false\nhistory_length=50\nmarkup=full\n"
                           "format=\"<b>%a: %s</b>\\n%b\"\nmin_icon_size=32\nmax_icon_size=32\n[urgency_low]\ntimeout=0\n"
                           "[urgency_normal]\ntimeout=0\n[urgency_critical]\ntimeout=0\n";

} // namespace

NotificationServer::NotificationServer(Desktop& desktop, bool withDaemon) : desktop_(desktop)
{
    desktop_.setSessionBus(bus_.address());
    const QString dunstrc = dir_.filePath("dunstrc");
    if (!bus_.ok() || !WriteText(dunstrc, DunstConfig))
        error_ = "no session bus or no dunst configuration";
    if (!withDaemon || !ok())
        return;
    daemon_.setProcessEnvironment(desktop_.environment());
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
    daemon_.start("dunst", {"-config", dunstrc});
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
