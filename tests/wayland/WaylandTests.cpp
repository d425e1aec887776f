// The real program in real Wayland compositors (sway, KWin, Mutter), on XWayland beside a native window.
#include "e2e/Desktop.h"
#include "input/PortalListenKey.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace e2e;

namespace {

const QPoint Saved(400, 300);
const QPoint DragBy(100, 60);

QString shot(Kind kind, const char* name)
{
    QDir().mkpath("wayland-shots");
    return QString("wayland-shots/%1-%2.png").arg(NameOf(kind), name);
}

// A shot in which `area` has stopped changing: the figure at rest, whatever the shot's own delay.
QImage restingShot(const Desktop& session, const QRect& area, const QString& saveAs)
{
    QImage last = session.screenshot(saveAs), next;
    WaitUntil([&] {
        next = session.screenshot(saveAs);
        return next.isNull() || ChangedPixels(std::exchange(last, next), next, area) == 0;
    }, 2500, 300);
    return next;
}

std::string describe(const std::optional<Window>& w)
{
    if (!w)
        return "none";
    return QString("\"%1\" %2,%3 %4x%5%6").arg(w->title.left(40)).arg(w->rect.x()).arg(w->rect.y())
        .arg(w->rect.width()).arg(w->rect.height()).arg(w->x11 ? " (X11)" : "").toStdString();
}

bool ours(const std::optional<Window>& w)
{
    return w && (w->title == u"Genie" || w->title.startsWith("The"));
}

class InCompositor : public ::testing::TestWithParam<Kind> {};

} // namespace

TEST_P(InCompositor, GeniePlacedOnTopCleanUnfocusedAndDraggable)
{
    const Kind kind = GetParam();
    if (!Installed(kind))
        GTEST_SKIP() << qPrintable(NameOf(kind)) << " is not installed (scripts/packages.sh lists it)";
    Desktop session(kind);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();

    // A native window where Genie will stand, holding the focus as the user's terminal would. Only sway
    // lists native windows to a client, and only sway's screen can be had.
    const bool sway = kind == Kind::Sway;
    ASSERT_TRUE(session.launch("weston-terminal", {}));
    ASSERT_TRUE(!sway || WaitUntil([&] { return session.window("Wayland Terminal").has_value(); }, 10000, 100))
        << "no terminal\n" << session.log().toStdString();
    const QImage before = session.screenshot(shot(kind, "before"));
    QTemporaryDir home;
    SeedPlace(home.path(), Saved);
    SetSetting(home.path(), "HideTime", -1);
    // A quarter of an hour every 20 s: a chime with its animation and balloon each time.
    Varrow v(session, home.path(), {"--clock-rate", "45", "--clock-start", "2026-12-07T12:01:00"});
    ASSERT_TRUE(v.waitShown(20000).isValid()) << v.trace().toStdString() << v.errors().toStdString();
    auto genie = session.window("Genie");
    ASSERT_TRUE(genie) << "Genie is not among the compositor's windows";
    const QImage early = restingShot(session, genie->rect, shot(kind, "rest-early"));
    EXPECT_EQ(genie->rect.topLeft(), Saved) << describe(genie);
    const auto clock = session.window("Varrow");
    EXPECT_TRUE(clock && !clock->rect.intersects(genie->rect)) << "clock " << describe(clock);
    EXPECT_FALSE(ours(session.window({}))) << "focus at start: " << describe(session.window({}));

    // The user goes back to the terminal, which the compositor raises; Genie stays in front.
    session.activate("Wayland Terminal");
    ASSERT_TRUE(v.waitFor("started Speak The time is now 12:15.*", 40000)) << v.trace().toStdString();
    ASSERT_TRUE(v.waitFor("window shown The.*", 5000)) << v.trace().toStdString();
    EXPECT_FALSE(ours(session.window({}))) << "focus by the balloon: " << describe(session.window({}));
    ASSERT_TRUE(v.waitFor("window hidden The_time_is_now_12:15.*", 20000)) << v.trace().toStdString();
    if (sway) {
        // Two more chimes and the idle moves between them; then the same pose as at the start.
        ASSERT_TRUE(v.waitFor("window hidden The_time_is_now_12:45.*", 60000)) << v.trace().toStdString();
        const QImage late = restingShot(session, genie->rect, shot(kind, "rest-late"));
        // Genie drawn in front of the terminal that was raised meanwhile: its place differs from the terminal alone.
        const int area = genie->rect.width() * genie->rect.height();
        EXPECT_GT(ChangedPixels(before, late, genie->rect), area / 10) << "Genie is not drawn above the native window";
        // The clock's seconds change; whether it stands apart is checked above.
        const auto clockNow = session.window("Varrow");
        EXPECT_LT(ChangedPixels(early, late, genie->rect.adjusted(-12, -12, 12, 12),
                                clockNow ? clockNow->rect.adjusted(-8, -30, 8, 8) : QRect()), 60)
            << "trails: pixels changed between two shots at rest a minute apart";
    }

    session.drag(genie->rect.center(), DragBy);
    EXPECT_TRUE(v.waitFor("started Speak Yes Sir!", 10000)) << "the program saw no drag";
    const auto dragged = session.window("Genie");
    ASSERT_TRUE(dragged);
    // The first motion may go to the pointer's entering the window, not to the drag.
    const QPoint moved = dragged->rect.topLeft() - genie->rect.topLeft();
    EXPECT_TRUE(moved.x() * 4 >= DragBy.x() * 3 && moved.y() * 4 >= DragBy.y() * 3 && moved.x() <= DragBy.x() &&
                moved.y() <= DragBy.y()) << describe(genie) << " to " << describe(dragged);
    EXPECT_EQ(SavedPlace(home.path()), dragged->rect.topLeft()) << "saved is not where it stands";
    EXPECT_FALSE(ours(session.window({}))) << "focus by the drag: " << describe(session.window({}));
    session.screenshot(shot(kind, "dragged"));
}

INSTANTIATE_TEST_SUITE_P(Compositors, InCompositor, ::testing::Values(Kind::Sway, Kind::KWin, Kind::Mutter),
                         [](const auto& info) { return NameOf(info.param).toStdString(); });

// Without XWayland: a Wayland client that says what that costs and saves no place it was not told.
TEST(NativeWayland, StartsSaysWhatIsMissingAndSavesNoGuessedPlace)
{
    if (!Installed(Kind::Sway))
        GTEST_SKIP() << "sway is not installed (scripts/packages.sh lists it)";
    Desktop session(Kind::Sway);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    QTemporaryDir home;
    SeedPlace(home.path(), Saved);
    QProcessEnvironment env = session.environment();
    env.remove("DISPLAY");
    Varrow v(session, home.path(), {}, {}, "trace", env);
    ASSERT_TRUE(v.waitShown(20000).isValid()) << v.trace().toStdString() << v.errors().toStdString();
    EXPECT_TRUE(v.errors().contains("no XWayland")) << v.errors().toStdString();
    const auto genie = session.window("Genie");
    ASSERT_TRUE(genie) << "Genie is not among the compositor's windows";
    EXPECT_FALSE(genie->x11);

    session.drag(genie->rect.center(), DragBy);
    // A drag that saves a place saves it within a moment of the button going up.
    EXPECT_FALSE(WaitUntil([&] { return SavedPlace(home.path()) != Saved; }, 1500, 50)) << "a guessed place was saved";
    EXPECT_TRUE(v.running());
    session.screenshot(shot(Kind::Sway, "native"));
}

// Debian's real portal with its KDE backend (Plasma 5.27 gives an unsandboxed program no key to press).
TEST(PortalInKWin, TheTalkKeyBindsThroughTheRealPortal)
{
    const QString backend = "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde";
    if (!Installed(Kind::KWin) || !QFile::exists("/usr/libexec/xdg-desktop-portal") || !QFile::exists(backend))
        GTEST_SKIP() << "KWin or the portal is not installed (scripts/packages.sh lists them)";
    Desktop session(Kind::KWin);
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    // The backend first, on Wayland as in a Plasma session, so the portal finds it there.
    QProcessEnvironment onWayland;
    onWayland.insert("QT_QPA_PLATFORM", "wayland");
    ASSERT_TRUE(session.launch(backend, {}, onWayland));
    QDBusConnection bus = QDBusConnection::connectToBus(session.busAddress(), "portal-client");
    auto registered = [&](const char* service) {
        return [&bus, service] { return bus.interface()->isServiceRegistered(QLatin1String(service)).value(); };
    };
    WaitUntil(registered("org.freedesktop.impl.portal.desktop.kde"), 20000, 50);
    ASSERT_TRUE(session.launch("/usr/libexec/xdg-desktop-portal", {}));
    WaitUntil(registered("org.freedesktop.portal.Desktop"), 20000, 50);

    input::PortalListenKey key(bus);
    QString outcome;
    QObject::connect(&key, &input::PortalListenKey::bound, [&] { outcome = "bound"; });
    QObject::connect(&key, &input::PortalListenKey::unavailable, [&](const QString& why) { outcome = why; });
    key.start();
    WaitUntil([&] { QCoreApplication::processEvents(); return !outcome.isEmpty(); }, 40000);
    EXPECT_TRUE(key.isBound()) << outcome.toStdString();
}
