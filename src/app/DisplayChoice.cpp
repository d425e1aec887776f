// Which window system the program starts on, decided before Qt starts.
#include "DisplayChoice.h"

#include <QDir>
#include <QLibraryInfo>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
// Said after "Varrow: " on the terminal.
const QString NeedsDesktop = QStringLiteral("needs a graphical desktop (X11, or XWayland on Wayland)");
const QString NativeWayland = QStringLiteral(
    "There is no XWayland on this desktop, so Varrow runs as a Wayland program: the desktop decides where Genie "
    "and the balloon stand, dragging Genie moves it only until Varrow ends, and the Pause key works only where the "
    "desktop offers global shortcuts.");
const QString NoWaylandPlugin = QStringLiteral("Qt's Wayland platform (the package qt6-wayland) is not installed");

QByteArray fromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? QByteArray(value) : QByteArray();
}

// "xcb", "xcb:option=value" and the like.
bool isX(const QByteArray& platform)
{
    return platform == "xcb" || platform.startsWith("xcb:");
}
} // namespace

DisplayEnvironment DisplayEnvironment::of(int argc, char** argv)
{
    DisplayEnvironment env{fromEnvironment("QT_QPA_PLATFORM"), fromEnvironment("DISPLAY"),
                           fromEnvironment("WAYLAND_DISPLAY")};
    // Qt takes these from the command line over the environment, with one dash or two.
    for (int i = 1; i + 1 < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-' && arg[1] == '-')
            ++arg;
        if (std::strcmp(arg, "-platform") == 0)
            env.platform = argv[++i];
        else if (std::strcmp(arg, "-display") == 0)
            env.display = argv[++i];
    }
    return env;
}

bool XServerAnswers(const QByteArray& display)
{
    xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

bool WaylandPluginInstalled()
{
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    // By hand: a name filter would compile a regular expression, and load its library, at every start.
    const QStringList files = QDir(plugins).entryList(QDir::Files);
    return std::any_of(files.begin(), files.end(), [](const QString& f) {
        return f.startsWith(QLatin1String("libqwayland-")) && f.endsWith(QLatin1String(".so"));
    });
}

DisplayChoice ChooseDisplay(const DisplayEnvironment& env, const XServerProbe& xAnswers, bool waylandPlugin)
{
    const bool askedWayland = env.platform.startsWith("wayland");
    if (!env.platform.isEmpty() && !isX(env.platform) && !askedWayland)
        return {};
    if (askedWayland && waylandPlugin)
        return {{}, {}, NativeWayland};
    const bool x = !env.display.isEmpty() && xAnswers(env.display);
    if (askedWayland) {
        if (x)
            return {"xcb", {}, NoWaylandPlugin + QStringLiteral(", so Varrow runs on XWayland.")};
        return {{}, NeedsDesktop + QStringLiteral(", and ") + NoWaylandPlugin + u'.', {}};
    }
    if (!x && !isX(env.platform) && !env.waylandDisplay.isEmpty() && waylandPlugin)
        return {"wayland", {}, NativeWayland};
    if (env.display.isEmpty()) {
        const QString why = env.waylandDisplay.isEmpty()
                                ? QStringLiteral("DISPLAY is not set")
                                : QStringLiteral("this Wayland desktop runs no XWayland (DISPLAY is not set)");
        return {{}, NeedsDesktop + QStringLiteral(", and %1.").arg(why), {}};
    }
    if (!x) {
        QString name = QString::fromLocal8Bit(env.display.left(100));
        for (QChar& ch : name)
            if (!ch.isPrint())
                ch = u'?'; // one line, whatever the variable holds
        return {{}, NeedsDesktop + QStringLiteral(", and no X server answers on DISPLAY \"%1\".").arg(name), {}};
    }
    // Where Qt would pick Wayland, XWayland: as a Wayland client the character could not stand where it was put.
    if (env.platform.isEmpty() && !env.waylandDisplay.isEmpty())
        return {QByteArray("xcb"), {}, {}};
    return {};
}
