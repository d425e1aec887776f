// A private session bus on a test display, with or without dunst owning the notification service.
#include "NotificationServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

namespace e2e {

namespace {
const char BusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// Notifications stay until closed, and duplicates are shown as they come, so a test can count them.
const char DunstConfig[] = R"([global]
    font = DejaVu Sans 10
    width = 440
    origin = top-right
    offset = 12x12
    notification_limit = 0
    stack_duplicates = false
    markup = full
    format = "<b>%a: %s</b>\n%b"
    icon_position = left
    min_icon_size = 32
    max_icon_size = 32
    frame_width = 2
    padding = 8
    horizontal_padding = 8
    history_length = 50
    show_age_threshold = -1
[urgency_low]
    timeout = 0
[urgency_normal]
    background = "#285577"
    foreground = "#ffffff"
    timeout = 0
[urgency_critical]
    timeout = 0
)";

void stop(QProcess& p)
{
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}
} // namespace

NotificationServer::NotificationServer(Desktop& desktop, bool withDaemon) : desktop_(desktop)
{
    QFile config(dir_.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write(QString::fromLatin1(BusConfig).arg(dir_.path()).toUtf8()) < 0) {
        error_ = QStringLiteral("cannot write the bus configuration");
        return;
    }
    config.close();
    // As root it complains that it may not raise its file limit; nothing a test needs to see.
    bus_.setStandardErrorFile(QProcess::nullDevice());
    bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                                               QStringLiteral("--config-file=") + config.fileName()});
    QByteArray address;
    QElapsedTimer t;
    t.start();
    while (!address.endsWith('\n') && bus_.state() != QProcess::NotRunning && t.elapsed() < 10000) {
        bus_.waitForReadyRead(100);
        address += bus_.readAllStandardOutput();
    }
    if (!address.endsWith('\n')) {
        error_ = QStringLiteral("dbus-daemon did not start: ") + bus_.errorString();
        return;
    }
    desktop_.setSessionBus(QString::fromUtf8(address.trimmed()));
    if (!withDaemon)
        return;

    QFile dunstrc(dir_.filePath(QStringLiteral("dunstrc")));
    if (!dunstrc.open(QIODevice::WriteOnly) || dunstrc.write(DunstConfig) < 0) {
        error_ = QStringLiteral("cannot write the dunst configuration");
        return;
    }
    dunstrc.close();
    daemon_.setProcessEnvironment(desktop_.environment());
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.setStandardOutputFile(QProcess::nullDevice());
    daemon_.start(QStringLiteral("dunst"), {QStringLiteral("-config"), dunstrc.fileName()});
    t.restart();
    while (displayed() < 0) {
        if (daemon_.state() == QProcess::NotRunning || t.elapsed() > 10000) {
            error_ = QStringLiteral("dunst did not take the notification service");
            return;
        }
        QThread::msleep(20);
    }
}

NotificationServer::~NotificationServer()
{
    stop(daemon_);
    stop(bus_);
    desktop_.setSessionBus({});
}

std::optional<QString> NotificationServer::dunstctl(const QStringList& args) const
{
    return desktop_.run(QStringLiteral("dunstctl"), args);
}

int NotificationServer::displayed() const
{
    bool ok = false;
    const auto out = dunstctl({QStringLiteral("count"), QStringLiteral("displayed")});
    const int n = out ? out->trimmed().toInt(&ok) : -1;
    return ok ? n : -1;
}

void NotificationServer::closeAll() const
{
    dunstctl({QStringLiteral("close-all")});
}

QJsonArray NotificationServer::history() const
{
    const auto out = dunstctl({QStringLiteral("history")});
    if (!out)
        return {};
    // {"type": "aa{sv}", "data": [[{"appname": {"type": "s", "data": "Varrow"}, ...}, ...]]}
    QJsonArray plain;
    for (const QJsonValue& n : QJsonDocument::fromJson(out->toUtf8())[QStringLiteral("data")][0].toArray()) {
        QJsonObject o;
        const QJsonObject fields = n.toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            o.insert(it.key(), it.value()[QStringLiteral("data")]);
        plain.append(o);
    }
    return plain;
}

} // namespace e2e
