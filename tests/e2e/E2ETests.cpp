// The real program on a real (virtual) X display with a window manager, driven with X input events.
#include "DesktopTest.h"
#include "PulseServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <csignal>

using namespace e2e;

namespace {

class EndToEnd : public DesktopTest {};

// A private session bus on the test display, with or without dunst owning the notification service.
class NotificationServer {
public:
    // The desktop's programs use this bus from now on; without `withDaemon` nobody owns the service.
    NotificationServer(Desktop& desktop, bool withDaemon) : desktop_(desktop)
    {
        desktop_.setSessionBus(bus_.address());
        // Notifications stay until closed, and duplicates are shown as they come, so a test can count them.
        const QString dunstrc = dir_.filePath("dunstrc");
        if (!bus_.ok() || !WriteText(dunstrc, "[global]\nnotification_limit=0\nstack_duplicates=false\n"
                                              "history_length=50\nmarkup=full\nformat=\"<b>%a: %s</b>\\n%b\"\n"
                                              "min_icon_size=32\nmax_icon_size=32\n[urgency_low]\ntimeout=0\n"
                                              "[urgency_normal]\ntimeout=0\n[urgency_critical]\ntimeout=0\n"))
            error = "no session bus or no dunst configuration";
        daemon_.setProcessEnvironment(desktop_.environment());
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon_.setStandardOutputFile(QProcess::nullDevice());
        if (withDaemon && error.isEmpty() &&
            !StartUntil(daemon_, "dunst", {"-config", dunstrc}, [&] { return displayed() >= 0; }))
            error = "dunst did not take the notification service";
    }
    ~NotificationServer()
    {
        Stop(daemon_);
        desktop_.setSessionBus({});
    }
    int displayed() const // -1 when dunst does not answer
    {
        bool ok = false;
        const int n = desktop_.run("dunstctl", {"count", "displayed"}).value_or(QString()).trimmed().toInt(&ok);
        return ok ? n : -1;
    }
    // Closes those on show; returns all so far, oldest first, as "application|icon file|summary|body".
    QStringList closeAll() const
    {
        desktop_.run("dunstctl", {"close-all"});
        // {"type": "aa{sv}", "data": [[{"appname": {"type": "s", "data": "Varrow"}, ...}, ...]]}, newest first
        QStringList all;
        const QString history = desktop_.run("dunstctl", {"history"}).value_or(QString());
        for (const QJsonValue& n : QJsonDocument::fromJson(history.toUtf8())["data"][0].toArray()) {
            auto field = [&](const char* name) { return n[QLatin1String(name)]["data"].toString(); };
            all.prepend(QStringList{field("appname"), QFileInfo(field("icon_path")).fileName(), field("summary"),
                                    field("body")}.join(u'|'));
        }
        return all;
    }
    QString error; // empty once it runs

private:
    Desktop& desktop_;
    QTemporaryDir dir_;
    testsupport::SessionBus bus_;
    QProcess daemon_;
};

// When a trace line was written, in ms since the start: the line starts with it.
qint64 at(const QRegularExpressionMatch& m)
{
    return m.captured(0).section(u' ', 0, 0).toLongLong();
}

// Waits until dunst shows as many notifications as the program has told problems.
bool waitUntilAllShown(const NotificationServer& server, const Varrow& v)
{
    static const QRegularExpression told(QStringLiteral("^\\d+ problem "), QRegularExpression::MultilineOption);
    return WaitUntil([&] { return server.displayed() == v.trace().count(told); }, 10000, 20);
}

// The terminal is told each problem once, and nothing of a missing bus or notification server.
void expectToldOnTheTerminalAlone(Varrow& v, const QString& problem)
{
    const QStringList lines = v.errors().split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.count("Varrow: " + problem), 1) << v.errors().toStdString();
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(QRegularExpression("\\bbus\\b|Notifications", QRegularExpression::CaseInsensitiveOption)))
            << line.toStdString();
}

const QString BadHideTime = "the setting HideTime holds \"abc\", which is not a whole number from -32768 to 32767; 300 "
                            "is used instead.";

// Through a sound server, as on a desktop.
TEST_F(EndToEnd, AFirstStartStandsTopLeftRefusesASecondInstanceSpeaksAtOnceAndStopsOnAClick)
{
    PulseServer pulse;
    ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
    desktop->setSoundServer(pulse.address());
    QElapsedTimer sinceStart;
    sinceStart.start();
    Varrow v(*desktop, home.path());
    desktop->setSoundServer({});
    const QRect character = start(v);
    EXPECT_EQ(character.topLeft(), QPoint(0, 0)) << "first start stands top-left";
    // The genie is drawn, and only the genie: a window without its shape would fill the whole box.
    const double drawn = DrawnShare(desktop->screenshot(shot("start")), character);
    EXPECT_GT(drawn, 0.15) << "character pixels missing";
    EXPECT_LT(drawn, 0.95) << "the character window is an unshaped box";

    // Title bar and fixed border, no control box: only moving is offered.
    EXPECT_EQ(desktop->xprop("Varrow", "_MOTIF_WM_HINTS"), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x4, 0xa, 0x0, 0x0");
    EXPECT_NE(desktop->xprop("Varrow", "_NET_WM_ICON").find("Icon (32 x 32)"), std::string::npos)
        << "no icon for the task bar";
    // This window manager draws a minimise button all the same; minimised, the clock comes straight back.
    desktop->xdotool({"search", "--onlyvisible", "--name", "^Varrow$", "windowminimize"});
    ASSERT_TRUE(v.waitFor("window hidden Varrow .*")) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window shown Varrow .*", 5000)) << "the clock stayed minimised";
    EXPECT_NE(desktop->xprop("Varrow", "WM_STATE").find("Normal"), std::string::npos);

    // The same user starts it again: the second leaves at once, quietly, and the first stays.
    Varrow second(*desktop, home.path(), {}, {}, "second");
    EXPECT_EQ(second.waitForExit(5000), 0);
    EXPECT_FALSE(second.traced("window shown Genie"));
    EXPECT_TRUE(v.running());

    // A menu pick is spoken in a drawn balloon; opening the sound server's stream at the first word took
    // 2 s, later words come in 0.2 s. A user's first pick comes a moment after Genie appears; opened at
    // the start, the stream is ready by then (espeak-ng here, after 0.2 s of looking for the daemon).
    QThread::msleep(std::max<qint64>(0, 2500 - sinceStart.elapsed()));
    ASSERT_TRUE(v.pick(character.center(), "Say the time"));
    const auto started = v.waitFor("started Speak The time is now \\d{1,2}:\\d\\d:\\d\\d [AP]M");
    const auto balloon = v.waitFor("window shown The(?:_\\S*)? " + Geometry, 5000);
    ASSERT_TRUE(started && balloon) << v.trace().toStdString();
    EXPECT_LT(at(*balloon) - at(*started), 1000) << v.trace().toStdString();
    EXPECT_GT(DrawnShare(desktop->screenshot(shot("say-time")), ParseGeometry(*balloon, 1)), 0.5) << "no balloon";

    // A click on Genie, then one on the balloon: each drops the text being said, and what follows goes on.
    ASSERT_TRUE(v.waitFor("window hidden The\\S* .*", 15000));
    ASSERT_TRUE(v.pick(character.center(), "About"));
    ASSERT_TRUE(v.waitFor("window shown Hollin\\S* .*", 15000)) << v.trace().toStdString();
    desktop->click(character.center());
    ASSERT_TRUE(v.waitFor("finished Speak \\\\map=.*", 2000)) << v.trace().toStdString();
    const auto next = v.waitFor("window shown Congratulation\\S* " + Geometry, 15000);
    ASSERT_TRUE(next) << v.trace().toStdString();
    desktop->click(ParseGeometry(*next, 1).center());
    ASSERT_TRUE(v.waitFor("finished Speak Congratulation.*", 2000)) << v.trace().toStdString();
    desktop->screenshot(shot("stopped"));
    ASSERT_TRUE(v.waitFor("started Speak Any comments .*")) << v.trace().toStdString();
    EXPECT_FALSE(v.traced("started Speak Yes Sir!")) << "a click is no drag";
    // The window manager's close (Alt+F4) on the clock ends the program.
    desktop->activate("Varrow");
    desktop->xdotool({"key", "alt+F4"}); // apart: a key sent to a window found leaves Alt held
    EXPECT_EQ(v.waitForExit(), 0) << v.errors().toStdString();
}

// With a session bus but no notification server, the terminal alone is told of problems.
TEST_F(EndToEnd, ADamagedCharacterFileIsReportedAndStartUpFails)
{
    NotificationServer bus(*desktop, false);
    ASSERT_EQ(bus.error, "");
    seedSettings("HideTime", "abc");
    // A copy of the program with a truncated Genie.acs beside it, where it looks first: whatever is
    // installed on this machine, that is the file it reads.
    const QString lonely = home.path() + "/bin/varrow", damaged = home.path() + "/bin/Genie.acs";
    const QFileInfo genie(QFileInfo(ProgramPath()).dir().filePath("Genie.acs"));
    ASSERT_TRUE(QDir().mkpath(home.path() + "/bin") && QFile::copy(ProgramPath(), lonely));
    ASSERT_TRUE(QFile::copy(genie.filePath(), damaged) && QFile::resize(damaged, genie.size() / 2));

    Varrow v(*desktop, home.path(), {}, lonely);
    ASSERT_TRUE(v.waitFor("window shown Varrow " + Geometry)) << v.trace().toStdString() << v.errors().toStdString();
    desktop->screenshot(shot("missing-character"));
    desktop->xdotool({"key", "Return"});
    EXPECT_EQ(v.waitForExit(), 1);
    EXPECT_TRUE(v.errors().contains(QRegularExpression("Genie.acs, line \\d+ is damaged"))) << v.errors().toStdString();
    EXPECT_FALSE(v.traced("window shown Genie"));
    expectToldOnTheTerminalAlone(v, BadHideTime);
}

// Each dialog stands flush beside the character, which points at its framed corner and is handed back at once.
// Then the place is kept over a Quit and an end by a signal; a setting that is no number is told on the
// terminal alone, with no session bus.
TEST_F(EndToEnd, EachDialogStandsBesideTheCharacterPointsAtItsCornerAndHandsItBackAndThePlaceIsKept)
{
    seedSettings("HideTime", "abc");
    SeedPlace(home.path(), {600, 300});
    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    ASSERT_EQ(character.topLeft(), QPoint(600, 300));
    struct Case {
        QString entry, title, speech, close, hints;
    };
    // Alarm and run: title bar and fixed border; functions: move and close; nothing else.
    const QString closable = "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0xa, 0x0, 0x0";
    for (const Case& c : {Case{"Show the Calendar", "Calendar", "Today is .*", "OK", {}},
                          Case{"Set the alarm", "Alarm Settings", "In this dialog you can set you alarm\\.", "Cancel", closable},
                          Case{"Run ...", "Run", "Well, what is the path \\?", "Cancel", closable}}) {
        SCOPED_TRACE(c.title.toStdString());
        const QString traced = QString(c.title).replace(u' ', u'_');
        const qsizetype opened = v.trace().size();
        ASSERT_TRUE(v.pick(character.center(), c.entry));
        ASSERT_TRUE(v.waitFor("window shown " + traced + ' ' + Geometry)) << v.trace().toStdString();
        ASSERT_TRUE(v.waitFor("started Speak " + c.speech)) << v.trace().toStdString();
        // The gesture comes before the window shows or after, as each dialog places itself.
        QRegularExpressionMatch gesture;
        WaitUntil([&] {
            return (gesture = QRegularExpression("started Gesture (-?\\d+),(-?\\d+)").match(v.trace(), opened)).hasMatch();
        }, 5000, 20);
        ASSERT_TRUE(gesture.hasMatch()) << v.trace().toStdString();
        // The window manager may still be moving the frame into place.
        QRect frame;
        WaitUntil([&] { return (frame = desktop->frame(c.title)).right() + 1 == character.left(); }, 1000, 20);
        EXPECT_EQ(frame.right() + 1, character.left()) << "not flush beside the character";
        EXPECT_EQ(frame.top(), character.top());
        EXPECT_EQ(QPoint(gesture.captured(1).toInt(), gesture.captured(2).toInt()), frame.topLeft());
        // The dialog's own character stands where the main one did, and the dialog is drawn.
        const QImage screen = desktop->screenshot(shot(traced));
        EXPECT_GT(DrawnShare(screen, character), 0.15);
        EXPECT_GT(DrawnShare(screen, desktop->frame(c.title).adjusted(4, 24, -4, -4)), 0.5);
        EXPECT_EQ(c.hints.isEmpty() ? "" : desktop->xprop(c.title, "_MOTIF_WM_HINTS"), c.hints.toStdString());
        if (c.title == "Run") {
            // A text that may be executed, as /etc/hostname is on some systems. (That what is said is of the
            // text in the box now, however fast it is typed: RunTest.)
            const QString text = home.path() + "/hostname";
            ASSERT_TRUE(WriteText(text, "host\n")); // runnable
            desktop->xdotool({"type", "--delay", "80", text});
            const QString found = "started Speak \\\\Emp\\\\Yes ! I found it\\.";
            ASSERT_TRUE(v.waitFor(found, 10000)) << v.trace().toStdString();
            // The refusal's box stands clear of the character and its balloon.
            ASSERT_TRUE(v.pick(character.center(), "OK"));
            ASSERT_TRUE(v.waitFor("finished Speak Sorry, I can't start this file !")) << v.trace().toStdString();
            desktop->screenshot(shot("run-refused"));
            const auto balloon = v.waitFor("window hidden Sorry,_I\\S* " + Geometry);
            desktop->xdotool({"key", "Return"});
            const auto box = v.waitFor("window hidden Run " + Geometry);
            ASSERT_TRUE(box && balloon) << v.trace().toStdString();
            EXPECT_FALSE(ParseGeometry(*box, 1).intersects(character.united(ParseGeometry(*balloon, 1))));
            // The chooser opens among the programs: a name is enough.
            ASSERT_TRUE(v.pick(character.center(), "Browse"));
            desktop->activate("Browse");
            desktop->xdotool({"type", "--delay", "40", "true"});
            desktop->xdotool({"key", "--delay", "500", "Return", "Return"}); // the first may close the completions
            ASSERT_TRUE(v.waitFor(found)) << v.trace().toStdString();
        }
        ASSERT_TRUE(v.pick(character.center(), c.close)) << v.trace().toStdString();
        const auto gone = v.waitFor("window hidden " + traced + " .*");
        ASSERT_TRUE(gone);
        const auto back = v.waitFor("started Show.*", 5000);
        ASSERT_TRUE(back) << v.trace().toStdString();
        EXPECT_LE(at(*back) - at(*gone), 100);
        // The main character is back with the main menu, and the next thing it says comes at once.
        const qsizetype closedAt = v.trace().indexOf(gone->captured(0));
        ASSERT_TRUE(v.pick(character.center(), "Say the time"));
        ASSERT_TRUE(v.waitFor("started Speak The time is now .*", 3000)) << v.trace().toStdString();
        const QString after = v.trace().mid(closedAt);
        EXPECT_FALSE(after.contains("started Play Search")) << after.toStdString();
        EXPECT_FALSE(after.contains("started Speak Sorry")) << after.toStdString();
    }
    ASSERT_TRUE(v.pick(character.center(), "Quit"));
    EXPECT_EQ(v.waitForExit(), 0);
    EXPECT_TRUE(v.traced("ended$"));
    expectToldOnTheTerminalAlone(v, BadHideTime);
    Varrow again(*desktop, home.path());
    EXPECT_EQ(start(again).topLeft(), QPoint(600, 300));
    // Terminated by the session: a clean end that leaves the instance lock free.
    ::kill(pid_t(again.pid()), SIGTERM);
    EXPECT_EQ(again.waitForExit(), 0);
    EXPECT_TRUE(again.traced("ended$"));
}

// Settings that are no number are shown on the desktop, each once.
TEST_F(EndToEnd, AHiddenCharacterComesBackOnAClickOnTheClockAndWhenTheUserTalks)
{
    NotificationServer server(*desktop, true);
    ASSERT_EQ(server.error, "");
    seedSettings("HideTime", "1");
    seedSettings("LastPositionX", "abc");
    seedSettings("LastPositionY", "1.5");
    // A quiet room for the talk key to listen to, through a sound server.
    PulseServer pulse;
    ASSERT_TRUE(pulse.ok()) << pulse.error().toStdString();
    desktop->setSoundServer(pulse.address());
    Varrow v(*desktop, home.path());
    desktop->setSoundServer({});
    start(v);
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notifications"));
    const QStringList shown = server.closeAll();
    EXPECT_EQ(shown.filter("|A setting was not understood|"),
              QStringList({"Varrow|varrow-32.png|A setting was not understood|The setting LastPositionX holds \"abc\", "
                           "which is not a whole number from -32768 to 32767; 0 is used instead.",
                           "Varrow|varrow-32.png|A setting was not understood|The setting LastPositionY holds \"1.5\", "
                           "which is not a whole number from -32768 to 32767; 0 is used instead."}));
    EXPECT_EQ(QStringList(shown).removeDuplicates(), 0) << shown.join(u'\n').toStdString();
    // Not installed: each with the icon file that sits beside the program in the build tree.
    EXPECT_EQ(shown.filter(QRegularExpression("^Varrow\\|varrow-32.png\\|")), shown) << shown.join(u'\n').toStdString();
    // Idling starts a few seconds after the last request; then one more second on the clock.
    ASSERT_TRUE(v.waitFor("started Hide", 30000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window hidden Genie .*", 10000)) << v.trace().toStdString();

    const QRect clock = desktop->frame("Varrow");
    ASSERT_TRUE(clock.isValid());
    desktop->click(clock.center() + QPoint(0, 10));
    ASSERT_TRUE(v.waitFor("window shown Genie .*", 5000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("finished Show"));
    desktop->screenshot(shot("back-after-click"));

    ASSERT_TRUE(v.waitFor("window hidden Genie .*", 30000)) << v.trace().toStdString();
    desktop->xdotool({"keydown", "Pause"});
    ASSERT_TRUE(v.waitFor("voice listening")) << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor("window shown Genie .*", 5000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("finished Show"));
    desktop->screenshot(shot("back-to-listen"));
    desktop->xdotool({"keyup", "Pause"});
    ASSERT_TRUE(v.waitFor("voice stopped"));
    // The terminal hears the same, once.
    EXPECT_EQ(v.errors().count("Varrow: the setting LastPositionX holds \"abc\""), 1) << v.errors().toStdString();
}

// With no sound server either: voice is off, told once, and all else works.
TEST_F(EndToEnd, APlaceThatCannotBeSavedOrNoSoundServerIsToldOnceWithWhereAndWhy)
{
    NotificationServer server(*desktop, true);
    ASSERT_EQ(server.error, "");
    // A file where the settings folder should be: no one, root included, can save there.
    const QString folder = QFileInfo(SettingsFile(home.path())).path();
    QDir().mkpath(QFileInfo(folder).path());
    ASSERT_TRUE(WriteText(folder, {}));

    Varrow v(*desktop, home.path());
    const QRect character = start(v);
    // Told when the user first talks, and only then; a second try gets the short answer.
    const auto talk = [&](const char* answer) {
        desktop->xdotool({"keydown", "Pause"});
        EXPECT_TRUE(v.waitFor(answer)) << v.trace().toStdString();
        desktop->xdotool({"keyup", "Pause"});
    };
    talk("voice off No sound server answered .*");
    desktop->drag(character.center(), {300, 200}, 8);
    ASSERT_TRUE(v.waitFor("started Speak Yes Sir!")) << v.trace().toStdString();
    talk("voice refused .*");
    ASSERT_TRUE(v.waitFor("finished Play WriteReturn", 20000)) << v.trace().toStdString();
    desktop->drag(character.center() + QPoint(300, 200), {-200, 100}, 8);
    ASSERT_TRUE(v.waitFor("started Speak Yes Sir!")) << v.trace().toStdString();
    ASSERT_TRUE(waitUntilAllShown(server, v)) << v.trace().toStdString() << server.displayed();
    desktop->screenshot(shot("notification-not-saved"));
    const QStringList shown = server.closeAll();
    EXPECT_EQ(shown.filter("|Voice commands are off|").size(), 1);
    EXPECT_EQ(shown.filter("|Settings not saved|"),
              QStringList({QStringLiteral("Varrow|varrow-32.png|Settings not saved|Settings could not be saved to %1 (%2 "
                                          "is a file where a folder is needed), so the character's place will not be "
                                          "remembered.").arg(SettingsFile(home.path()), folder)}));
    EXPECT_EQ(v.errors().count("Varrow: Settings could not be saved"), 1) << v.errors().toStdString();
}

// In a Wayland session Varrow chooses XWayland for itself; a program started from Run keeps the user's choice.
TEST_F(EndToEnd, AProgramStartedFromRunInheritsNotTheWindowSystemVarrowChose)
{
    QProcessEnvironment env = desktop->environment();
    env.insert("WAYLAND_DISPLAY", "wayland-elsewhere");
    env.remove("QT_QPA_PLATFORM");
    Varrow v(*desktop, home.path(), {}, {}, "trace", env);
    const QRect character = start(v);
    const QString script = home.path() + "/show-env", seen = home.path() + "/env.txt";
    ASSERT_TRUE(WriteText(script, QString("#!/bin/sh\nenv > %1.new && mv %1.new %1\n").arg(seen)));
    ASSERT_TRUE(v.pick(character.center(), "Run ..."));
    ASSERT_TRUE(v.waitFor("started Speak Well, what is the path \\?")) << v.trace().toStdString();
    desktop->xdotool({"type", "--delay", "20", script});
    ASSERT_TRUE(v.waitFor("started Speak \\\\Emp\\\\Yes ! I found it\\.", 10000)) << v.trace().toStdString();
    ASSERT_TRUE(v.pick(character.center(), "OK"));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(seen); }, 10000)) << v.trace().toStdString();
    EXPECT_TRUE(ReadText(seen).contains("WAYLAND_DISPLAY=wayland-elsewhere"));
    EXPECT_FALSE(ReadText(seen).contains("QT_QPA_PLATFORM")) << ReadText(seen).toStdString();
}

TEST(NoDesktop, HelpAndVersionAnswerAndAStartSaysInOneLineWhatIsMissing)
{
    QTemporaryDir home;
    QProcessEnvironment bare = PrivateEnvironment(home.path());
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(name);
    // No DISPLAY, one with no server, and xcb asked for with no DISPLAY.
    for (const auto& [name, value] : {std::pair{"LC_ALL", "C.UTF-8"}, {"DISPLAY", ":4711"}, {"QT_QPA_PLATFORM", "xcb"}}) {
        QProcessEnvironment env = bare;
        env.insert(name, value);
        SCOPED_TRACE(name);
        const Ran help = RunToEnd(env, ProgramPath(), {"--help"}, 15000), version = RunToEnd(env, ProgramPath(), {"--version"}, 15000);
        EXPECT_TRUE(help.ok() && help.out.contains("--version")) << help.out.toStdString() << help.err.toStdString();
        EXPECT_TRUE(version.ok() && version.out.startsWith("Varrow ")) << version.out.toStdString() << version.err.toStdString();
        const Ran start = RunToEnd(env, ProgramPath(), {}, 15000);
        EXPECT_TRUE(start.finished && start.code == 1 && start.err.count(u'\n') == 1 &&
                    start.err.startsWith("Varrow: needs a graphical desktop (X11, or XWayland on Wayland), and "))
            << start.err.toStdString();
    }
}

} // namespace
