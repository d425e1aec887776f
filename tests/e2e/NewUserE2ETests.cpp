// What a new user meets first on a real desktop, or with none: starting without a display, and the window frames.
#include "Desktop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Ran {
    QProcess::ExitStatus status;
    int code;
    QString out, err;
};

Ran runWithout(const QProcessEnvironment& env, const QStringList& args)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ProgramPath(), args);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(3000);
        return {QProcess::CrashExit, -1, {}, QStringLiteral("still running")};
    }
    return {p.exitStatus(), p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

TEST(NoDesktop, HelpAndVersionAnswerAndAStartSaysInOneLineWhatIsMissing)
{
    QTemporaryDir home;
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(QLatin1String(name));
    bare.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    bare.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcessEnvironment nobodyThere = bare, forcedX = bare;
    nobodyThere.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4711"));
    forcedX.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    for (const auto& [what, env] : {std::pair{"no DISPLAY", bare}, std::pair{"DISPLAY with no server", nobodyThere},
                                    std::pair{"xcb asked for, no DISPLAY", forcedX}}) {
        SCOPED_TRACE(what);
        const Ran help = runWithout(env, {QStringLiteral("--help")});
        EXPECT_EQ(help.status, QProcess::NormalExit) << help.err.toStdString();
        EXPECT_EQ(help.code, 0);
        EXPECT_TRUE(help.out.contains(QStringLiteral("--version"))) << help.out.toStdString();

        const Ran version = runWithout(env, {QStringLiteral("--version")});
        EXPECT_EQ(version.status, QProcess::NormalExit) << version.err.toStdString();
        EXPECT_EQ(version.code, 0);
        EXPECT_TRUE(version.out.startsWith(QStringLiteral("Varrow "))) << version.out.toStdString();

        const Ran start = runWithout(env, {});
        EXPECT_EQ(start.status, QProcess::NormalExit) << start.err.toStdString();
        EXPECT_EQ(start.code, 1);
        EXPECT_TRUE(start.err.startsWith(
            QStringLiteral("Varrow needs a graphical desktop (X11, or XWayland on Wayland), and ")))
            << start.err.toStdString();
        EXPECT_EQ(start.err.count(u'\n'), 1) << start.err.toStdString();
    }
}

namespace {

class Frames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(desktop.ok()) << desktop.error().toStdString();
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(QStringLiteral("e2e-shots"));
    }
    // The window with this title once the window manager has put it on screen.
    QString windowId(const QString& title) const
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const auto ids = desktop.run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                                      QStringLiteral("--name"), u'^' + title + u'$'});
            if ((ids && !ids->isEmpty()) || t.elapsed() > 10000)
                return ids ? ids->section(u'\n', 0, 0) : QString();
            QThread::msleep(20);
        }
    }
    std::string xprop(const QString& id, const QString& property) const
    {
        const auto out = desktop.run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, property});
        return out ? out->trimmed().toStdString() : std::string();
    }
    // Opens a dialog from the character's menu, checks what its frame asks for, and closes it.
    void checkDialog(Varrow& v, const QPoint& character, const QString& entry, const QString& title)
    {
        ASSERT_TRUE(v.pick(character, entry));
        ASSERT_TRUE(v.waitFor(QStringLiteral("window shown %1 .*").arg(QString(title).replace(u' ', u'_'))));
        const QString id = windowId(title);
        // Title bar and fixed border; functions: move and close; nothing else.
        EXPECT_EQ(xprop(id, QStringLiteral("_MOTIF_WM_HINTS")),
                  "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x24, 0xa, 0x0, 0x0");
        desktop.screenshot(QStringLiteral("e2e-shots/frame-%1.png").arg(QString(title).replace(u' ', u'_')));
        ASSERT_TRUE(v.pick(character, QStringLiteral("Cancel")));
        ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden %1 .*").arg(QString(title).replace(u' ', u'_'))));
    }

    Desktop desktop;
    QTemporaryDir home;
};

} // namespace

TEST_F(Frames, EachWindowAsksForItsOwnButtonsOnlyAndTheClockStaysOnScreen)
{
    Varrow v(desktop, home.path());
    ASSERT_TRUE(v.waitFor(QStringLiteral("ready"))) << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("finished Show")));
    const QString clock = windowId(QStringLiteral("Varrow"));
    ASSERT_FALSE(clock.isEmpty());
    desktop.screenshot(QStringLiteral("e2e-shots/frame-clock.png"));
    // Title bar and fixed border, no control box: only moving is offered.
    EXPECT_EQ(xprop(clock, QStringLiteral("_MOTIF_WM_HINTS")),
              "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x4, 0xa, 0x0, 0x0");

    // This window manager draws a minimise button all the same; minimised, the clock comes straight back.
    desktop.xdotool({QStringLiteral("windowminimize"), clock});
    ASSERT_TRUE(v.waitFor(QStringLiteral("window hidden Varrow .*"))) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor(QStringLiteral("window shown Varrow .*"), 5000)) << "the clock stayed minimised";
    EXPECT_NE(xprop(clock, QStringLiteral("WM_STATE")).find("Normal"), std::string::npos);

    const QPoint character(64, 80); // a first start stands top-left, 128 x 160
    checkDialog(v, character, QStringLiteral("Set the alarm"), QStringLiteral("Alarm Settings"));
    checkDialog(v, character, QStringLiteral("Run ..."), QStringLiteral("Run"));

    // The window manager's close (Alt+F4) still ends the program.
    desktop.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), clock});
    desktop.xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
    EXPECT_EQ(v.waitForExit(), 0) << v.trace().toStdString();
}
