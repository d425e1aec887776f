// The fixture of the e2e suites: one desktop per suite, and a home of its own for each test.
#include "DesktopTest.h"

#include <QDir>
#include <QThread>

namespace e2e {

void DesktopTest::SetUp()
{
    ASSERT_TRUE(desktop->ok()) << desktop->error().toStdString();
    ASSERT_TRUE(home.isValid());
}

QString DesktopTest::shot(const QString& name)
{
    QDir().mkpath("e2e-shots");
    return QString("e2e-shots/%1.png").arg(name);
}

QRect DesktopTest::startAndWait(Varrow& v)
{
    EXPECT_TRUE(v.waitFor("ready")) << v.trace().toStdString() << v.errors().toStdString();
    const auto shown = v.waitFor("window shown Genie " + Geometry);
    EXPECT_TRUE(shown) << v.trace().toStdString();
    EXPECT_TRUE(v.waitFor("finished Show"));
    return shown ? ParseGeometry(*shown, 1) : QRect();
}

QString DesktopTest::windowId(const QString& title)
{
    const auto ids = desktop->run("xdotool", {"search", "--onlyvisible", "--name", u'^' + title + u'$'});
    return ids ? ids->section(u'\n', 0, 0) : QString();
}

QRect DesktopTest::windowRect(const QString& title, bool framed)
{
    const auto info = desktop->run("xwininfo", {"-id", windowId(title)});
    if (!info)
        return {};
    auto field = [&](const char* name) {
        const auto m = QRegularExpression(name + QString(":\\s+(-?\\d+)")).match(*info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    const QRect client(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    if (!framed)
        return client;
    // _NET_FRAME_EXTENTS: left, right, top, bottom.
    const auto m = QRegularExpression("= (\\d+), (\\d+), (\\d+), (\\d+)")
                       .match(QString::fromStdString(xprop(title, "_NET_FRAME_EXTENTS")));
    if (!m.hasMatch())
        return client; // no frame
    return client.adjusted(-m.captured(1).toInt(), -m.captured(3).toInt(), m.captured(2).toInt(), m.captured(4).toInt());
}

QRect DesktopTest::settledFrame(const QString& title)
{
    QRect last = windowRect(title, true);
    for (int i = 0; i < 50; ++i) {
        QThread::msleep(40);
        const QRect now = windowRect(title, true);
        if (now == last && now.isValid())
            return now;
        last = now;
    }
    return last;
}

std::string DesktopTest::xprop(const QString& title, const QString& property)
{
    const auto out = desktop->run("xprop", {"-id", windowId(title), property});
    return out ? out->trimmed().toStdString() : std::string();
}

void DesktopTest::drag(const QPoint& from, const QPoint& by, int steps)
{
    desktop->xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
    for (int step = 1; step <= steps; ++step)
        desktop->xdotool({"mousemove", QString::number(from.x() + by.x() * step / steps),
                          QString::number(from.y() + by.y() * step / steps)});
    desktop->xdotool({"mouseup", "1"});
}

} // namespace e2e
