// The real program on a real (virtual) X display with a window manager, driven with X input events.
#include "Desktop.h"
#include "SpeechClips.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <string_view>

using namespace e2e;

namespace {

const QString Geometry = QStringLiteral("(-?\\d+),(-?\\d+) (\\d+)x(\\d+)");

class EndToEnd : public ::testing::Test {
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
    // Where the shots go: kept in the build tree for a person to look at.
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
    // Starts the program and waits until the character stands on the desktop; returns its window.
    QRect startAndWait(Varrow& v)
    {
        EXPECT_TRUE(v.waitFor(QStringLiteral("ready"))) << v.trace().toStdString() << v.errors().toStdString();
        const auto shown = v.waitFor(QStringLiteral("window shown Genie ") + Geometry);
        EXPECT_TRUE(shown) << v.trace().toStdString();
        EXPECT_TRUE(v.waitFor(QStringLiteral("finished Show")));
        return shown ? ParseGeometry(*shown, 1) : QRect();
    }

    // Where the window manager has the client area of the window with this title.
    static QRect windowGeometry(const QString& title)
    {
        const auto info = desktop->run(QStringLiteral("xwininfo"), {QStringLiteral("-name"), title});
        if (!info)
            return {};
        auto field = [&](const char* name) {
            const auto m = QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)")).match(*info);
            return m.hasMatch() ? m.captured(1).toInt() : -1;
        };
        return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    }

    static Desktop* desktop;
    QTemporaryDir home;
};
Desktop* EndToEnd::desktop = nullptr;

TEST_F(EndToEnd, StartsWithCharacterAndClockRefusesASecondInstanceAndSpeaks)
{
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    EXPECT_EQ(character.topLeft(), QPoint(0, 0)) << "first start stands top-left";

    const QImage screen = desktop->screenshot(shot("start"));
    ASSERT_FALSE(screen.isNull());
    // The genie is drawn, and only the genie: a window without its shape would fill the whole box.
    const double drawn = DrawnShare(screen, character);
    EXPECT_GT(drawn, 0.15) << "character pixels missing";
    EXPECT_LT(drawn, 0.95) << "the character window is an unshaped box";

    const auto clock = desktop->run(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Varrow")});
    ASSERT_TRUE(clock);
    EXPECT_TRUE(clock->contains(QStringLiteral("Width: 184"))) << clock->toStdString();
    EXPECT_TRUE(clock->contains(QStringLiteral("Height: 69"))) << clock->toStdString();

    // The same user starts it again: the second leaves at once, quietly, and the first stays.
    Varrow second(*desktop, home.path(), {}, {}, QStringLiteral("second"));
    EXPECT_EQ(second.waitForExit(5000), 0);
    EXPECT_FALSE(second.traced(QStringLiteral("window shown Genie")));
    EXPECT_TRUE(v.running());
    EXPECT_GT(DrawnShare(desktop->screenshot(), character), 0.15);

    // A menu pick is spoken in a drawn balloon.
    ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Say the time")));
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak The time is now \\d{1,2}:\\d\\d:\\d\\d [AP]M")))
        << v.trace().toStdString();
    const auto balloon = v.waitFor(QStringLiteral("window shown The(?:_\\S*)? ") + Geometry, 5000);
    ASSERT_TRUE(balloon) << v.trace().toStdString();
    EXPECT_GT(DrawnShare(desktop->screenshot(shot("say-time")), ParseGeometry(*balloon, 1)), 0.5) << "no balloon";
}

TEST_F(EndToEnd, DraggedPositionIsSavedAndUsedAfterQuitAndTerminate)
{
    {
        Varrow v(*desktop, home.path());
        const QRect character = startAndWait(v);
        const QPoint grab = character.center();
        desktop->xdotool({QStringLiteral("mousemove"), QString::number(grab.x()), QString::number(grab.y()),
                          QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int step = 1; step <= 10; ++step)
            desktop->xdotool({QStringLiteral("mousemove"), QString::number(grab.x() + 40 * step),
                              QString::number(grab.y() + 25 * step)});
        desktop->xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Yes Sir!"))) << v.trace().toStdString();

        QSettings saved(v.settingsFile(), QSettings::IniFormat);
        EXPECT_EQ(saved.value(QStringLiteral("Settings/LastPositionX")).toString(), QStringLiteral("400"));
        EXPECT_EQ(saved.value(QStringLiteral("Settings/LastPositionY")).toString(), QStringLiteral("250"));

        ASSERT_TRUE(v.pick(QPoint(400, 250) + QPoint(character.width() / 2, character.height() / 2),
                           QStringLiteral("Quit")));
        EXPECT_EQ(v.waitForExit(), 0);
        EXPECT_TRUE(v.traced(QStringLiteral("ended$")));
    }
    {
        Varrow again(*desktop, home.path());
        EXPECT_EQ(startAndWait(again).topLeft(), QPoint(400, 250));
        // Terminated by the session: a clean end that leaves the instance lock free.
        ::kill(pid_t(again.pid()), SIGTERM);
        EXPECT_EQ(again.waitForExit(), 0);
        EXPECT_TRUE(again.traced(QStringLiteral("ended$")));
    }
    Varrow third(*desktop, home.path());
    startAndWait(third);
    EXPECT_TRUE(third.running());
}

TEST_F(EndToEnd, IdleCharacterHidesAfterHideTime)
{
    seedSettings(QStringLiteral("HideTime"), QStringLiteral("1"));
    Varrow v(*desktop, home.path());
    startAndWait(v);
    // Idling starts a few seconds after the last request; then one more second on the clock.
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Hide"), 30000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Genie .*"), 10000));
    EXPECT_TRUE(v.running());
}

TEST_F(EndToEnd, MissingCharacterFileIsReportedAndStartUpFails)
{
    // A copy of the program with no Genie.acs anywhere it looks.
    const QString lonely = home.path() + QStringLiteral("/bin/varrow");
    QDir().mkpath(home.path() + QStringLiteral("/bin"));
    ASSERT_TRUE(QFile::copy(ProgramPath(), lonely));
    QFile::setPermissions(lonely, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Varrow v(*desktop, home.path(), {}, lonely);
    const auto box = v.waitFor(QStringLiteral("window shown Varrow ") + Geometry);
    ASSERT_TRUE(box) << v.trace().toStdString() << v.errors().toStdString();
    desktop->screenshot(shot("missing-character"));
    desktop->xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_EQ(v.waitForExit(), 1);
    EXPECT_TRUE(v.errors().contains(QStringLiteral("Genie.acs"))) << v.errors().toStdString();
    EXPECT_FALSE(v.traced(QStringLiteral("window shown Genie")));
}

TEST_F(EndToEnd, EachDialogOpensBesideTheCharacterAndClosesFromItsMenu)
{
    Varrow v(*desktop, home.path());
    const QRect character = startAndWait(v);
    struct Case {
        const char* entry;
        const char* title;
        const char* speech;
        const char* close;
    };
    for (const Case& c : {Case{"Show the Calendar", "Calendar", "Today is .*", "OK"},
                          Case{"Set the alarm", "Alarm_Settings", "In this dialog you can set you alarm\\.", "Cancel"},
                          Case{"Run ...", "Run", "Well, what is the path \\?", "Cancel"}}) {
        SCOPED_TRACE(c.title);
        ASSERT_TRUE(v.pick(character.center(), QLatin1String(c.entry)));
        const auto dialog = v.waitFor(QStringLiteral("window shown %1 ").arg(QLatin1String(c.title)) + Geometry);
        ASSERT_TRUE(dialog) << v.trace().toStdString();
        ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak ") + QLatin1String(c.speech))) << v.trace().toStdString();
        if (c.close == std::string_view("OK")) {
            // A second start while the first waits in a modal dialog still leaves at once.
            Varrow second(*desktop, home.path(), {}, {}, QStringLiteral("second"));
            EXPECT_EQ(second.waitForExit(5000), 0);
        }
        // The dialog's own character stands where the main one did, and the dialog is drawn.
        const QImage screen = desktop->screenshot(shot(c.title));
        EXPECT_GT(DrawnShare(screen, character), 0.15);
        const QRect placed = windowGeometry(QString(QLatin1String(c.title)).replace(u'_', u' '));
        EXPECT_NEAR(placed.left(), character.right() + 1, 12) << "not beside the character";
        // The frame's top is level with the character; the client area starts below its title bar.
        EXPECT_GE(placed.top(), character.top());
        EXPECT_LE(placed.top(), character.top() + 24);
        EXPECT_GT(DrawnShare(screen, placed.adjusted(4, 4, -4, -4)), 0.5);
        ASSERT_TRUE(v.pick(character.center(), QLatin1String(c.close))) << v.trace().toStdString();
        ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden %1 .*").arg(QLatin1String(c.title))));
        // The main character is back with the main menu.
        ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Say the time")));
        ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak The time is now .*")));
    }
}

// The three ways to talk, each heard as the command it names, in the main menu and in a dialog.
TEST_F(EndToEnd, SpokenCommandsRunAsIfPicked)
{
    voicetest::Synthesiser synth;
    ASSERT_TRUE(synth.ready()) << synth.error().toStdString();
    const QString microphone = home.path() + QStringLiteral("/microphone.raw");
    uint32_t seed = 21;
    using Room = voicetest::Condition;
    // What the "microphone" hears next, in a room; returns how long saying it takes.
    auto say = [&](const QString& phrase, const Room& room = {"faint", Room::Kind::Faint, 0}) {
        const auto clip = voicetest::SpeechClip(synth, phrase, QStringLiteral("en-us"), seed++, room);
        QFile f(microphone);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(reinterpret_cast<const char*>(clip.data()), qint64(clip.size() * sizeof(short)));
        return int(clip.size() / 16) + 600; // and a little more: the listening thread may start late
    };
    say(QStringLiteral("Time"));
    Varrow v(*desktop, home.path(), {QStringLiteral("--microphone-file"), microphone});
    const QRect character = startAndWait(v);
    const QString x = QString::number(character.center().x()), y = QString::number(character.center().y());
    // Presses, talks for as long as the phrase takes, and lets go.
    auto holdWhileSaying = [&](const QStringList& press, const QStringList& release, const QString& phrase,
                               const Room& room = {"faint", Room::Kind::Faint, 0}) {
        const int speaking = say(phrase, room);
        desktop->xdotool(press);
        const bool listening = v.waitFor(QStringLiteral("voice listening")).has_value();
        QThread::msleep(speaking);
        desktop->xdotool(release);
        return listening;
    };
    const QStringList pauseDown{QStringLiteral("keydown"), QStringLiteral("Pause")};
    const QStringList pauseUp{QStringLiteral("keyup"), QStringLiteral("Pause")};

    // Held Pause key, anywhere on the desktop.
    ASSERT_TRUE(holdWhileSaying(pauseDown, pauseUp, QStringLiteral("Time")))
        << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice heard sayTime \\(Time\\)"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak The time is now .*")));
    EXPECT_FALSE(v.traced(QStringLiteral("voice heard .* \\(Date\\)")));

    // "Listen" from the menu stops by itself when the user has finished, here in steady noise at
    // 10 dB under the voice: the end of speech is heard although the room never goes quiet.
    say(QStringLiteral("Date"), {"pink 10 dB", Room::Kind::Pink, 10});
    ASSERT_TRUE(v.pick(character.center(), QStringLiteral("Listen"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice listening")));
    // The time was still being said: it stops, and the cue takes its balloon until the user is done.
    ASSERT_TRUE(v.waitFor(QStringLiteral("finished Speak The time is now .*"), 1000)) << v.trace().toStdString();
    desktop->screenshot(shot("listening"));
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice stopped"), 8000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Listening\\S* .*"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice heard sayDate \\(Date\\)"))) << v.trace().toStdString();

    // A near miss is asked again, not taken for the phrase it nearly is.
    ASSERT_TRUE(holdWhileSaying(pauseDown, pauseUp, QStringLiteral("Alarming")));
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice not understood"))) << v.trace().toStdString();
    EXPECT_FALSE(v.traced(QStringLiteral("voice heard setAlarm")));

    // The middle button held on the character opens the calendar, whose own phrases then answer;
    // said behind a noise suppressor, with exact silence around the voice.
    ASSERT_TRUE(holdWhileSaying({QStringLiteral("mousemove"), x, y, QStringLiteral("mousedown"), QStringLiteral("2")},
                                {QStringLiteral("mouseup"), QStringLiteral("2")}, QStringLiteral("Calendar"),
                                {"digital silence", Room::Kind::DigitalSilence, 0}));
    ASSERT_TRUE(v.waitFor(QStringLiteral("window shown Calendar ") + Geometry)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("started Speak Today is .*")));
    ASSERT_TRUE(holdWhileSaying(pauseDown, pauseUp, QStringLiteral("Okay")));
    ASSERT_TRUE(v.waitFor(QStringLiteral("voice heard OK \\(Okay\\)"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Calendar .*")));
}

TEST_F(EndToEnd, InstalledProgramFindsItsFilesAndRuns)
{
    const QString prefix = home.path() + QStringLiteral("/prefix");
    QProcess install;
    install.start(QStringLiteral(VARROW_CMAKE), {QStringLiteral("--install"), QStringLiteral(VARROW_BUILD_DIR),
                                                 QStringLiteral("--prefix"), prefix});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const char* file : {"bin/varrow", "share/varrow/Genie.acs", "share/applications/varrow.desktop",
                             "share/metainfo/varrow.metainfo.xml", "share/icons/hicolor/32x32/apps/varrow.png",
                             "share/icons/hicolor/scalable/apps/varrow.svg"})
        EXPECT_TRUE(QFile::exists(prefix + u'/' + QLatin1String(file))) << file;

    Varrow v(*desktop, home.path(), {}, prefix + QStringLiteral("/bin/varrow"));
    startAndWait(v);
    EXPECT_TRUE(v.running()) << v.errors().toStdString();
}

} // namespace
