#include "DisplayChoice.h"

#include <QDir>
#include <QLibraryInfo>

namespace {
const QString nativeWayland = QStringLiteral(
    "There is no XWayland on this desktop, so Varrow runs as a Wayland program: the desktop decides where Genie "
    "and the balloon stand, dragging Genie moves it only until Varrow ends, and the Pause key works only where the "
    "desktop offers global shortcuts.");
}

DisplayChoice ChooseDisplay(const std::function<QByteArray(const char*)>& env, bool waylandPlugin)
{
    const QByteArray asked = env("QT_QPA_PLATFORM");
    const bool x11 = !env("DISPLAY").isEmpty();
    const bool wayland = !env("WAYLAND_DISPLAY").isEmpty();
    if (asked.startsWith("wayland") && !waylandPlugin && x11)
        return {"xcb", QStringLiteral("Qt's Wayland platform (the package qt6-wayland) is not installed, so Varrow "
                                      "runs on XWayland.")};
    if (!asked.isEmpty())
        return {{}, asked.startsWith("wayland") ? nativeWayland : QString()};
    if (wayland && x11)
        return {"xcb", {}};
    if (wayland && waylandPlugin)
        return {"wayland", nativeWayland};
    return {};
}

DisplayChoice ApplyDisplayChoice()
{
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    const bool waylandPlugin = !QDir(plugins).entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
    DisplayChoice choice = ChooseDisplay([](const char* name) { return qgetenv(name); }, waylandPlugin);
    if (!choice.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", choice.platform);
    return choice;
}
