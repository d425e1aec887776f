// The character as a user meets it over a session: hiding and coming back, dialogs coming and going.
#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

const QString Geometry = QStringLiteral("(-?\\d+),(-?\\d+) (\\d+)x(\\d+)");

class CharacterSession : public ::testing::Test {
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
    static QString shot(const char* name)
    {
        QDir().mkpath(QStringLiteral("e2e-shots"));
        return QStringLiteral("e2e-shots/%1.png").arg(QLatin1String(name));
    }
    void seedSettings(const QString& key, const QString& value)
    {
        QSettings s(home.path() + QStringLiteral("/config/Varrow/Varrow.ini"), QSettings::IniFormat);
        s.setValue(QStringLiteral("Settings/") + key, value);
    }
    QRect startAndWait(Varrow& v)
    {
        EXPECT_TRUE(v.waitFor(QStringLiteral("ready"))) << v.trace().toStdString() << v.errors().toStdString();
        const auto shown = v.waitFor(QStringLiteral("window shown Genie ") + Geometry);
        EXPECT_TRUE(shown) << v.trace().toStdString();
        EXPECT_TRUE(v.waitFor(QStringLiteral("finished Show")));
        return shown ? ParseGeometry(*shown, 1) : QRect();
    }
    // The window with this title as the user sees it: its client area and the window manager's frame.
    static QRect frameOf(const QString& title)
    {
        const auto info = desktop->run(QStringLiteral("xwininfo"), {QStringLiteral("-name"), title});
        const auto extents = desktop->run(QStringLiteral("xprop"), {QStringLiteral("-name"), title,
                                                                     QStringLiteral("_NET_FRAME_EXTENTS")});
        if (!info || !extents)
            return {};
        auto field = [&](const char* name) {
            const auto m = QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)")).match(*info);
            return m.hasMatch() ? m.captured(1).toInt() : -1;
        };
        const QRect client(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
        const auto m = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(*extents);
        if (!m.hasMatch())
            return client; // no frame
        return client.adjusted(-m.captured(1).toInt(), -m.captured(3).toInt(), m.captured(2).toInt(), m.captured(4).toInt());
    }
    // When a trace line was written, in ms since the start: the line starts with it.
    static qint64 at(const QRegularExpressionMatch& m) { return m.captured(0).section(u' ', 0, 0).toLongLong(); }

    static Desktop* desktop;
    QTemporaryDir home;
};
Desktop* CharacterSession::desktop = nullptr;

} // namespace

TEST_F(CharacterSession, AHiddenCharacterComesBackOnAClickOnTheClockAndWhenTheUserTalks)
{
    seedSettings(QStringLiteral("HideTime"), QStringLiteral("1"));
    // A quiet room for the talk key to listen to.
    const QString microphone = home.path() + QStringLiteral("/quiet.raw");
    QFile quiet(microphone);
    ASSERT_TRUE(quiet.open(QIODevice::WriteOnly));
    quiet.write(QByteArray(16000, '\0'));
    quiet.close();
    Varrow v(*desktop, home.path(), {QStringLiteral("--microphone-file"), microphone});
    startAndWait(v);
    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Genie .*"), 30000)) << v.trace().toStdString();

    const QRect clock = frameOf(QStringLiteral("Varrow"));
    ASSERT_TRUE(clock.isValid());
    desktop->xdotool({QStringLiteral("mousemove"), QString::number(clock.center().x()),
                      QString::number(clock.center().y() + 10), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(v.waitFor(QStringLiteral("window shown Genie .*"), 5000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("finished Show")));
    desktop->screenshot(shot("back-after-click"));

    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Genie .*"), 30000)) << v.trace().toStdString();
    desktop->xdotool({QStringLiteral("keydown"), QStringLiteral("Pause")});
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice listening"))) << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("window shown Genie .*"), 5000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("finished Show")));
    desktop->screenshot(shot("back-to-listen"));
    desktop->xdotool({QStringLiteral("keyup"), QStringLiteral("Pause")});
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice stopped")));
}

// Each dialog stands flush to the left of a character with room there, and the character points at
// the corner of the dialog the user sees, window frame included.
TEST_F(CharacterSession, DialogsStandBesideTheCharacterWhichPointsAtTheirCorner)
{
    seedSettings(QStringLiteral("LastPositionX"), QStringLiteral("600"));
    seedSettings(QStringLiteral("LastPositionY"), QStringLiteral("300"));
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    ASSERT_EQ(character.topLeft(), QPoint(600, 300));
    struct Case {
        const char* entry;
        const char* title;
        const char* close;
    };
    for (const Case& c : {Case{"Show the Calendar", "Calendar", "OK"}, Case{"Set the alarm", "Alarm Settings", "Cancel"},
                          Case{"Run ...", "Run", "Cancel"}}) {
        SCOPED_TRACE(c.title);
        const QString title = QLatin1String(c.title);
        const qsizetype opened = v.trace().size();
        ASSERT_TRUE(v.pick(character.center(), QLatin1String(c.entry)));
        ASSERT_TRUE(v.waitFor(QStringLiteral("window shown %1 ").arg(QString(title).replace(u' ', u'_')) + Geometry));
        // The gesture comes before the window shows or after, as each dialog places itself.
        const QRegularExpression gestured(QStringLiteral("started Gesture (-?\\d+),(-?\\d+)"));
        QRegularExpressionMatch gesture;
        for (int i = 0; i < 250 && !(gesture = gestured.match(v.trace(), opened)).hasMatch(); ++i)
            QThread::msleep(20);
        ASSERT_TRUE(gesture.hasMatch()) << v.trace().toStdString();
        QRect frame;
        // The window manager may still be moving the frame into place.
        for (int i = 0; i < 50 && frame.right() + 1 != character.left(); ++i) {
            QThread::msleep(20);
            frame = frameOf(title);
        }
        EXPECT_EQ(frame.right() + 1, character.left()) << "not flush beside the character";
        EXPECT_EQ(frame.top(), character.top());
        EXPECT_EQ(QPoint(gesture.captured(1).toInt(), gesture.captured(2).toInt()), frame.topLeft());
        ASSERT_TRUE(v.pick(character.center(), QLatin1String(c.close))) << v.trace().toStdString();
        ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden %1 .*").arg(QString(title).replace(u' ', u'_'))));
    }
}

// A user types into the run dialog faster than the character can answer, then cancels: the main
// character is back at once, and the next command speaks at once, not after the dialog's backlog.
TEST_F(CharacterSession, AClosedDialogSaysNothingMoreAndTheMainCharacterIsBackAtOnce)
{
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Run ...")));
    ASSERT_TRUE(v.waitFor(QStringLiteral("window shown Run ") + Geometry)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Well, what is the path \\?")));
    desktop->xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"),
                      QStringLiteral("/tmp/rt/zzzzzz")});
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Sorry, there's .*")));
    ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Cancel"))) << v.trace().toStdString();
    const auto gone = v.waitFor(QStringLiteral("window hidden Run .*"));
    ASSERT_TRUE(gone);
    const auto back = v.waitFor(QStringLiteral("started Show.*"), 5000);
    ASSERT_TRUE(back) << v.trace().toStdString();
    EXPECT_LE(at(*back) - at(*gone), 100);
    const qsizetype closedAt = v.trace().indexOf(gone->captured(0));
    ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Say the time")));
    const auto said = v.waitFor(QStringLiteral("started Speak The time is now .*"), 3000);
    ASSERT_TRUE(said) << v.trace().toStdString();
    const QString after = v.trace().mid(closedAt);
    EXPECT_FALSE(after.contains(QStringLiteral("started Play Search"))) << after.toStdString();
    EXPECT_FALSE(after.contains(QStringLiteral("started Speak Sorry"))) << after.toStdString();
}
