// The real program in real Wayland compositors (sway, KWin, Mutter), on XWayland beside a native window.
#include "Compositor.h"
#include "input/PortalListenKey.h"
#include "e2e/Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace wayland;

namespace {

const QPoint Saved(400, 300);
const QPoint DragBy(100, 60);

// Each check is reported by name, for every compositor, whether it passes or not.
class InCompositor : public ::testing::TestWithParam<Kind> {
protected:
    void check(const char* name, bool passed, const QString& detail) const
    {
        std::printf("[%s] %-22s %-10s %s\n", qPrintable(NameOf(GetParam())), name, passed ? "pass" : "FAIL", qPrintable(detail));
        EXPECT_TRUE(passed) << name << ": " << detail.toStdString();
    }
    void unmeasured(const char* name, const QString& why) const
    {
        std::printf("[%s] %-22s unmeasured %s\n", qPrintable(NameOf(GetParam())), name, qPrintable(why));
    }
    QString shot(const char* name) const
    {
        QDir().mkpath("wayland-shots");
        return QString("wayland-shots/%1-%2.png").arg(NameOf(GetParam()), name);
    }
};

// Genie's place before the run, and how long it idles before hiding (-1: never).
void seed(const QTemporaryDir& home, int hideTime = 300)
{
    e2e::SeedPlace(home.path(), Saved);
    e2e::SetSetting(home.path(), "HideTime", hideTime);
}

// A drag through the compositor's pointer.
void drag(const Compositor& session, const QPoint& from)
{
    session.pointerTo(from);
    session.button(1, true);
    for (int step = 1; step <= 10; ++step)
        session.pointerTo(from + DragBy * step / 10);
    session.button(1, false);
}

// Pixels that differ clearly between two shots of one place, leaving out another window's.
int changedPixels(const QImage& a, const QImage& b, const QRect& area, const QRect& except = {})
{
    int changed = 0;
    const QRect r = area.intersected(a.rect()).intersected(b.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            changed += !except.contains(x, y) && e2e::ColourDistance(a.pixel(x, y), b.pixel(x, y)) > 48;
    return changed;
}

// A shot in which `area` has stopped changing: the figure at rest, whatever the shot's own delay.
QImage restingShot(const Compositor& session, const QRect& area, const QString& saveAs, QString* why)
{
    QImage last = session.screenshot(saveAs, why);
    for (int i = 0; i < 6 && !last.isNull(); ++i) {
        QThread::msleep(300);
        QImage next = session.screenshot(saveAs, why);
        if (next.isNull() || changedPixels(last, next, area) == 0)
            return next;
        last = std::move(next);
    }
    return last;
}

QString describe(const std::optional<Window>& w)
{
    if (!w)
        return "none";
    return QString("\"%1\" %2,%3 %4x%5%6").arg(w->title.left(40)).arg(w->rect.x()).arg(w->rect.y())
        .arg(w->rect.width()).arg(w->rect.height()).arg(w->x11 ? " (X11)" : QString());
}

bool ours(const std::optional<Window>& w)
{
    return w && (w->title == u"Genie" || w->title.startsWith("The"));
}

} // namespace

TEST_P(InCompositor, GeniePlacedOnTopCleanUnfocusedAndDraggable)
{
    const Kind kind = GetParam();
    if (!Installed(kind))
        GTEST_SKIP() << qPrintable(NameOf(kind)) << " is not installed (scripts/packages.sh lists it)";
    Compositor session(kind);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();

    // A native window where Genie will stand, holding the focus as the user's terminal would.
    ASSERT_TRUE(session.launch("weston-terminal", {}));
    const bool nativeListed = kind != Kind::Mutter;
    if (nativeListed)
        ASSERT_TRUE(e2e::WaitUntil([&] { return session.window("Wayland Terminal").has_value(); }, 10000, 100))
            << "no terminal\n" << session.log().toStdString();
    else
        QThread::msleep(1500); // Mutter lists no native window to a client; give it time to map
    const QImage before = session.screenshot(shot("before"));

    QTemporaryDir home;
    seed(home, -1);
    // A quarter of an hour every 20 s: a chime with its animation and balloon each time.
    e2e::Varrow v(session.environment(), home.path(), {"--clock-rate", "45", "--clock-start", "2026-12-07T12:01:00"});
    ASSERT_TRUE(v.waitFor("ready", 20000)) << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor("finished Show", 20000)) << v.trace().toStdString();
    auto genie = session.window("Genie");
    ASSERT_TRUE(genie) << "Genie is not among the compositor's windows";
    QString why;
    const QImage early = restingShot(session, genie->rect, shot("rest-early"), &why);
    check("placed", genie->rect.topLeft() == Saved,
          QString("asked for %1,%2, stands at %3").arg(Saved.x()).arg(Saved.y()).arg(describe(genie)));
    const auto clock = session.window("Varrow");
    check("clock beside Genie", clock && !clock->rect.intersects(genie->rect), describe(clock));
    const auto startFocus = session.focusedWindow();
    check("no focus at start", !ours(startFocus), "focus: " + describe(startFocus));

    // The user goes back to the terminal, which the compositor raises; Genie stays in front.
    if (nativeListed)
        session.activate("Wayland Terminal");
    ASSERT_TRUE(v.waitFor("started Speak The time is now 12:15.*", 40000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window shown The.*", 5000)) << v.trace().toStdString();
    const auto balloonFocus = session.focusedWindow();
    check("no focus by balloon", !ours(balloonFocus), "focus: " + describe(balloonFocus));
    ASSERT_TRUE(v.waitFor("window hidden The_time_is_now_12:15.*", 20000)) << v.trace().toStdString();
    genie = session.window("Genie");
    ASSERT_TRUE(genie);
    if (early.isNull()) {
        unmeasured("above native window", why);
        unmeasured("no trails", why);
    } else {
        // Two more chimes and the idle moves between them; then the same pose as at the start.
        ASSERT_TRUE(v.waitFor("window hidden The_time_is_now_12:45.*", 60000)) << v.trace().toStdString();
        const QImage late = restingShot(session, genie->rect, shot("rest-late"), &why);
        // Genie drawn in front of the terminal that was raised meanwhile: its place differs from the terminal alone.
        const int drawn = changedPixels(before, late, genie->rect);
        check("above native window", drawn > genie->rect.width() * genie->rect.height() / 10,
              QString("%1 of %2 pixels show Genie").arg(drawn).arg(genie->rect.width() * genie->rect.height()));
        // The clock's seconds change; whether it stands apart is checked above.
        const auto clockNow = session.window("Varrow");
        const int trails = changedPixels(early, late, genie->rect.adjusted(-12, -12, 12, 12),
                                         clockNow ? clockNow->rect.adjusted(-8, -30, 8, 8) : QRect());
        check("no trails", trails < 60, QString("%1 pixels changed between two shots at rest a minute apart").arg(trails));
    }

    drag(session, genie->rect.center());
    const bool acknowledged = v.waitFor("started Speak Yes Sir!", 10000).has_value();
    check("drag seen", acknowledged, acknowledged ? QString() : "the program saw no drag");
    const auto dragged = session.window("Genie");
    ASSERT_TRUE(dragged);
    // The first motion may go to the pointer's entering the window, not to the drag.
    const QPoint moved = dragged->rect.topLeft() - genie->rect.topLeft();
    check("drag moves", moved.x() * 4 >= DragBy.x() * 3 && moved.y() * 4 >= DragBy.y() * 3 && moved.x() <= DragBy.x() &&
                            moved.y() <= DragBy.y(),
          QString("from %1 to %2").arg(describe(genie), describe(dragged)));
    const QPoint saved = e2e::SavedPlace(home.path());
    check("drag saves real place", saved == dragged->rect.topLeft(),
          QString("saved %1,%2; stands at %3").arg(saved.x()).arg(saved.y()).arg(describe(dragged)));
    const auto dragFocus = session.focusedWindow();
    check("no focus by drag", !ours(dragFocus), "focus: " + describe(dragFocus));
    session.screenshot(shot("dragged"));
}

INSTANTIATE_TEST_SUITE_P(Compositors, InCompositor, ::testing::Values(Kind::Sway, Kind::KWin, Kind::Mutter),
                         [](const auto& info) { return NameOf(info.param).toStdString(); });

// Without XWayland: a Wayland client that says what that costs and saves no place it was not told.
TEST(NativeWayland, StartsSaysWhatIsMissingAndSavesNoGuessedPlace)
{
    if (!Installed(Kind::Sway))
        GTEST_SKIP() << "sway is not installed (scripts/packages.sh lists it)";
    Compositor session(Kind::Sway);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    QTemporaryDir home;
    seed(home);
    QProcessEnvironment env = session.environment();
    env.remove("DISPLAY");
    e2e::Varrow v(env, home.path());
    ASSERT_TRUE(v.waitFor("ready", 20000)) << v.trace().toStdString() << v.errors().toStdString();
    ASSERT_TRUE(v.waitFor("finished Show", 20000)) << v.trace().toStdString();
    EXPECT_TRUE(v.errors().contains("no XWayland")) << v.errors().toStdString();
    const auto genie = session.window("Genie");
    ASSERT_TRUE(genie) << "Genie is not among the compositor's windows";
    EXPECT_FALSE(genie->x11);

    drag(session, genie->rect.center());
    QThread::msleep(1500); // nothing to wait for: the point is that nothing comes
    EXPECT_EQ(e2e::SavedPlace(home.path()), Saved);
    EXPECT_TRUE(v.running());
    QDir().mkpath("wayland-shots");
    session.screenshot("wayland-shots/native-sway.png");
}

// Debian's real portal with its KDE backend (Plasma 5.27 gives an unsandboxed program no key to press).
TEST(PortalInKWin, TheTalkKeyBindsThroughTheRealPortal)
{
    const QString backend = "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde";
    if (!Installed(Kind::KWin) || !QFile::exists("/usr/libexec/xdg-desktop-portal") || !QFile::exists(backend))
        GTEST_SKIP() << "KWin or the portal is not installed (scripts/packages.sh lists them)";
    Compositor session(Kind::KWin);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    // The backend first, on Wayland as in a Plasma session, so the portal finds it there.
    QProcessEnvironment onWayland;
    onWayland.insert("QT_QPA_PLATFORM", "wayland");
    ASSERT_TRUE(session.launch(backend, {}, onWayland));
    QDBusConnection bus = QDBusConnection::connectToBus(session.busAddress(), "portal-client");
    auto registered = [&](const char* service) {
        return [&bus, service] { return bus.interface()->isServiceRegistered(QLatin1String(service)).value(); };
    };
    e2e::WaitUntil(registered("org.freedesktop.impl.portal.desktop.kde"), 20000, 50);
    ASSERT_TRUE(session.launch("/usr/libexec/xdg-desktop-portal", {}));
    e2e::WaitUntil(registered("org.freedesktop.portal.Desktop"), 20000, 50);

    input::PortalListenKey key(bus);
    QString outcome;
    QObject::connect(&key, &input::PortalListenKey::bound, [&] { outcome = "bound"; });
    QObject::connect(&key, &input::PortalListenKey::unavailable, [&](const QString& why) { outcome = why; });
    key.start();
    e2e::WaitUntil([&] { QCoreApplication::processEvents(); return !outcome.isEmpty(); }, 40000);
    EXPECT_TRUE(key.isBound()) << outcome.toStdString();
}
