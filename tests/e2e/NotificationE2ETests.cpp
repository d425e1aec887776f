// Problems a user must hear of, read back from a real notification daemon on the test display.
#include "DesktopTest.h"
#include "NotificationServer.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

using namespace e2e;

namespace {

class Notifications : public DesktopTest {
protected:
    // Waits until dunst shows as many notifications as the program has told problems.
    static bool waitUntilAllShown(const NotificationServer& server, const Varrow& v)
    {
        static const QRegularExpression told(QStringLiteral("^\\d+ problem "), QRegularExpression::MultilineOption);
        return WaitUntil([&] { return server.displayed() == v.trace().count(told); }, 10000, 20);
    }
    // Summary and body of each notification, oldest first, after checking what every one shares.
    static QStringList told(const QJsonArray& history)
    {
        QStringList all;
        for (const QJsonValue& n : history) {
            EXPECT_EQ(n["appname"].toString(), "Varrow");
            // Not installed: the icon file that sits beside the program in the build tree.
            EXPECT_TRUE(n["icon_path"].toString().endsWith("/varrow-32.png")) << n["icon_path"].toString().toStdString();
            all.prepend(n["summary"].toString() + u'|' + n["body"].toString());
        }
        return all;
    }
};

TEST_F(Notifications, SettingsThatAreNoNumberAreShownOnTheDesktopOnce)
{
    NotificationServer server(*desktop, true);
    ASSERT_TRUE(server.ok()) << server.error().toStdString();
    seedSettings("HideTime", "abc");
    seedSettings("LastPositionY", "1.5");
    Varrow v(*desktop, home.path());
    startAndWait(v);
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notifications"));
    server.closeAll();

    const QStringList shown = told(server.history());
    EXPECT_EQ(shown.filter(QRegularExpression("^A setting was not understood\\|")).size(), 2) << shown.join(u'\n').toStdString();
    EXPECT_EQ(QStringList(shown).removeDuplicates(), 0) << "each problem once: " << shown.join(u'\n').toStdString();
    EXPECT_TRUE(shown.contains("A setting was not understood|The setting HideTime holds \"abc\", which is not a whole "
                               "number from -32768 to 32767; 300 is used instead."))
        << shown.join(u'\n').toStdString();
    EXPECT_TRUE(shown.contains("A setting was not understood|The setting LastPositionY holds \"1.5\", which is not a "
                               "whole number from -32768 to 32767; 0 is used instead."));
    // The terminal hears the same, once.
    EXPECT_EQ(v.errors().count("Varrow: the setting HideTime holds \"abc\""), 1) << v.errors().toStdString();
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
    drag(character.center(), {300, 200}, 8);
    ASSERT_TRUE(v.waitFor("started Speak Yes Sir!")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("finished Play WriteReturn", 20000)) << v.trace().toStdString();
    drag(character.center() + QPoint(300, 200), {-200, 100}, 8);
    ASSERT_TRUE(v.waitFor("started Speak Yes Sir!")) << v.trace().toStdString();
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notification-not-saved"));
    server.closeAll();

    EXPECT_EQ(told(server.history()).filter(QRegularExpression("^Settings not saved\\|")),
              QStringList({QStringLiteral("Settings not saved|Settings could not be saved to %1 (%2 is a file where a "
                                          "folder is needed), so the character's place will not be remembered.")
                               .arg(settingsFile(), folder)}));
    EXPECT_EQ(v.errors().count("Varrow: Settings could not be saved"), 1) << v.errors().toStdString();
}

} // namespace
