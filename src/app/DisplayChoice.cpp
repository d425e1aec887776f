#include "DisplayChoice.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {
const QString NeedsDesktop = QStringLiteral("Varrow needs a graphical desktop (X11, or XWayland on Wayland)");

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

DisplayChoice ChooseDisplay(const DisplayEnvironment& env, const XServerProbe& xAnswers)
{
    // Another platform asked for by name (offscreen, for instance) is the asker's business.
    if (!env.platform.isEmpty() && !isX(env.platform))
        return {};
    if (env.display.isEmpty()) {
        const QString why = env.waylandDisplay.isEmpty()
                                ? QStringLiteral("DISPLAY is not set")
                                : QStringLiteral("this Wayland desktop runs no XWayland (DISPLAY is not set)");
        return {{}, NeedsDesktop + QStringLiteral(", and %1.").arg(why)};
    }
    if (!xAnswers(env.display)) {
        QString name = QString::fromLocal8Bit(env.display.left(100));
        for (QChar& ch : name)
            if (!ch.isPrint())
                ch = u'?'; // one line, whatever the variable holds
        return {{}, NeedsDesktop + QStringLiteral(", and no X server answers on DISPLAY \"%1\".").arg(name)};
    }
    // Where Qt would pick Wayland, XWayland: as a Wayland client the character could not stand where it was put.
    if (env.platform.isEmpty() && !env.waylandDisplay.isEmpty())
        return {QByteArray("xcb"), {}};
    return {};
}
