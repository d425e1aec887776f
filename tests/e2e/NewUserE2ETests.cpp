// What a new user meets first: starting with no desktop at all.
#include "Desktop.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
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
