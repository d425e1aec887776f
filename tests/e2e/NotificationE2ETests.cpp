// Problems a user must hear of, read back from a real notification daemon on the test display.
#include "Desktop.h"
#include "NotificationServer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QSettings>
#include <QThread>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

const QString Geometry = QStringLiteral("(-?\\d+),(-?\\d+) (\\d+)x(\\d+)");

class Notifications : public ::testing::Test {
protected:
    static void SetUpTestSuite() { desktop = new Desktop; }
    static void TearDownTestSuite()
    {
        delete desktop;
        desktop = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(desktop->ok()) << desktop->error().toStdString();
        ASSERT_TRUE(home.isValid());
    }
    QString settingsFile() const { return home.path() + QStringLiteral("/config/Varrow/Varrow.ini"); }
    void seedSettings(const QString& key, const QString& value)
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Settings/") + key, value);
    }
    static QRect startAndWait(Varrow& v)
    {
        EXPECT_TRUE(v.waitFor(QStringLiteral("ready"))) << v.trace().toStdString() << v.errors().toStdString();
        const auto shown = v.waitFor(QStringLiteral("window shown Genie ") + Geometry);
        EXPECT_TRUE(shown) << v.trace().toStdString();
        EXPECT_TRUE(v.waitFor(QStringLiteral("finished Show")));
        return shown ? ParseGeometry(*shown, 1) : QRect();
    }
    // Each problem the program told, in the order told.
    static QStringList toldInTrace(const Varrow& v)
    {
        QStringList told;
        auto it = QRegularExpression(QStringLiteral("^\\d+ problem (.*)$"), QRegularExpression::MultilineOption)
                      .globalMatch(v.trace());
        while (it.hasNext())
            told << it.next().captured(1);
        return told;
    }
    // Waits until dunst shows as many notifications as the program has told problems.
    static bool waitUntilAllShown(const NotificationServer& server, const Varrow& v)
    {
        QElapsedTimer t;
        t.start();
        while (server.displayed() != toldInTrace(v).size()) {
            if (t.elapsed() > 10000)
                return false;
            QThread::msleep(20);
        }
        return true;
    }
    static QString shot(const char* name)
    {
        QDir().mkpath(QStringLiteral("e2e-shots"));
        return QStringLiteral("e2e-shots/%1.png").arg(QLatin1String(name));
    }
    // The summaries in dunst's history, oldest first, after checking what every entry shares.
    static QStringList summaries(const QJsonArray& history)
    {
        QStringList all;
        for (const QJsonValue& n : history) {
            EXPECT_EQ(n[QStringLiteral("appname")].toString(), QStringLiteral("Varrow"));
            // Not installed: the icon file that sits beside the program in the build tree.
            EXPECT_TRUE(n[QStringLiteral("icon_path")].toString().endsWith(QStringLiteral("/varrow-32.png")))
                << n[QStringLiteral("icon_path")].toString().toStdString();
            all.prepend(n[QStringLiteral("summary")].toString());
        }
        return all;
    }
    static QString bodyOf(const QJsonArray& history, const QString& summary)
    {
        for (const QJsonValue& n : history)
            if (n[QStringLiteral("summary")].toString() == summary)
                return n[QStringLiteral("body")].toString();
        return {};
    }
    void drag(const QPoint& from, const QPoint& by)
    {
        desktop->xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                          QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int step = 1; step <= 8; ++step)
            desktop->xdotool({QStringLiteral("mousemove"), QString::number(from.x() + by.x() * step / 8),
                              QString::number(from.y() + by.y() * step / 8)});
        desktop->xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    static Desktop* desktop;
    QTemporaryDir home;
};
Desktop* Notifications::desktop = nullptr;

TEST_F(Notifications, SettingsThatAreNoNumberAreShownOnTheDesktopOnce)
{
    NotificationServer server(*desktop, true);
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    seedSettings(QStringLiteral("HideTime"), QStringLiteral("abc"));
    seedSettings(QStringLiteral("LastPositionY"), QStringLiteral("1.5"));
    Varrow v(*desktop, home.path());
    startAndWait(v);
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notifications"));
    server.closeAll();

    const QJsonArray history = server.history();
    const QStringList told = summaries(history);
    EXPECT_EQ(told.count(QStringLiteral("A setting was not understood")), 2) << told.join(u'\n').toStdString();
    QStringList bodies;
    for (const QJsonValue& n : history)
        bodies << n[QStringLiteral("body")].toString();
    EXPECT_EQ(QStringList(bodies).removeDuplicates(), 0) << "each problem once: " << bodies.join(u'\n').toStdString();
    EXPECT_TRUE(bodies.contains(QStringLiteral("The setting HideTime holds \"abc\", which is not a whole number from "
                                               "-32768 to 32767; 300 is used instead.")))
        << bodies.join(u'\n').toStdString();
    EXPECT_TRUE(bodies.contains(QStringLiteral("The setting LastPositionY holds \"1.5\", which is not a whole number "
                                               "from -32768 to 32767; 0 is used instead.")));
    // The terminal hears the same, once.
    EXPECT_EQ(v.errors().count(QStringLiteral("Varrow: the setting HideTime holds \"abc\"")), 1)
        << v.errors().toStdString();
}

TEST_F(Notifications, APlaceThatCannotBeSavedIsAcknowledgedAndToldOnceWithWhereAndWhy)
{
    NotificationServer server(*desktop, true);
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    // A file where the settings folder should be: no one, root included, can save there.
    const QString folder = QFileInfo(settingsFile()).path();
    QDir().mkpath(QFileInfo(folder).path());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    drag(character.center(), {300, 200});
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Yes Sir!"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("finished Play WriteReturn"), 20000)) << v.trace().toStdString();
    drag(character.center() + QPoint(300, 200), {-200, 100});
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Yes Sir!"))) << v.trace().toStdString();
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notification-not-saved"));
    server.closeAll();

    const QJsonArray history = server.history();
    const QStringList told = summaries(history);
    EXPECT_EQ(told.count(QStringLiteral("Settings not saved")), 1) << told.join(u'\n').toStdString();
    EXPECT_EQ(bodyOf(history, QStringLiteral("Settings not saved")),
              QStringLiteral("Settings could not be saved to %1 (%2 is a file where a folder is needed), so the "
                             "character's place will not be remembered.").arg(settingsFile(), folder));
    EXPECT_EQ(v.errors().count(QStringLiteral("Varrow: Settings could not be saved")), 1) << v.errors().toStdString();
}

// Without a notification server, or without a bus at all, the terminal alone hears of it, with no
// complaint about the missing server and no wait.
TEST_F(Notifications, WithoutAServerTheTerminalAloneIsTold)
{
    for (const bool withBus : {true, false}) {
        SCOPED_TRACE(withBus ? "a bus with no notification server" : "no session bus");
        std::optional<NotificationServer> bus;
        if (withBus) {
            bus.emplace(*desktop, false);
            ASSERT_TRUE(bus->ok()) << bus->error().toStdString();
        }
        seedSettings(QStringLiteral("HideTime"), QStringLiteral("abc"));
        Varrow v(*desktop, home.path());
        ASSERT_TRUE(v.pick(startAndWait(v).center(), QStringLiteral("Quit")));
        EXPECT_EQ(v.waitForExit(), 0);
        const QStringList lines = v.errors().split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.count(QStringLiteral("Varrow: the setting HideTime holds \"abc\", which is not a whole number "
                                             "from -32768 to 32767; 300 is used instead.")), 1);
        for (const QString& line : lines)
            EXPECT_FALSE(line.contains(QStringLiteral("bus"), Qt::CaseInsensitive) ||
                         line.contains(QStringLiteral("Notifications")))
                << line.toStdString();
    }
}

} // namespace
