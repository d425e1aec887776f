// A private D-Bus session bus for a test.
#include "SessionBus.h"

#include <QDeadlineTimer>
#include <QFile>

namespace testsupport {

SessionBus::SessionBus()
{
    QFile config(dir_.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
)").arg(dir_.path()).toUtf8());
    config.close();
    // As root it complains that it may not raise its file limit; nothing a test needs to see.
    daemon_.setStandardErrorFile(QProcess::nullDevice());
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {"--config-file=" + config.fileName(), "--nofork", "--nopidfile", "--print-address=1"});
    QByteArray out;
    for (QDeadlineTimer deadline(10000); !out.endsWith('\n') && daemon_.waitForReadyRead(deadline.remainingTime());)
        out += daemon_.readAllStandardOutput();
    if (out.endsWith('\n'))
        address_ = QString::fromLocal8Bit(out).trimmed();
}

SessionBus::~SessionBus()
{
    daemon_.kill(); // nothing of it outlives the test's folder
    daemon_.waitForFinished(3000);
}

} // namespace testsupport
