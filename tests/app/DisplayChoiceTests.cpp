// Which platform the program asks Qt for, in each kind of session.
#include "app/DisplayChoice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DisplayChoice, XWaylandWhereThereIsOneNativeWaylandOnlyWhereItIsAllThereIs)
{
    // The session (platform asked for, DISPLAY, WAYLAND_DISPLAY), whether Qt has its Wayland plugin, the platform
    // the program asks for, whether it can run, and whether the user is told of the choice.
    const std::tuple<DisplayEnvironment, bool, QByteArray, bool, bool> cases[] = {
        {{"", ":0", ""}, true, "", true, false},                  // plain X11
        {{"", ":0", "wayland-0"}, true, "xcb", true, false},      // XWayland
        {{"", "", "wayland-0"}, true, "wayland", true, true},     // Wayland only
        {{"", "", "wayland-0"}, false, "", false, false},         // nothing we can run on
        {{"", "", ""}, true, "", false, false},                   // no desktop at all
        {{"", ":99", ""}, true, "", false, false},                // no X server answers there
        {{"wayland", ":0", ""}, false, "xcb", true, true},        // asked, not installed
        {{"wayland", ":0", "w"}, true, "", true, true},           // asked, and there
        {{"offscreen", ":0", "w"}, true, "", true, false},        // someone else's choice
    };
    for (const auto& [env, plugin, platform, usable, told] : cases) {
        SCOPED_TRACE((env.platform + '|' + env.display + '|' + env.waylandDisplay).toStdString());
        const DisplayChoice d = ChooseDisplay(env, [](const QByteArray& display) { return display == ":0"; }, plugin);
        EXPECT_EQ(d.platform, platform);
        EXPECT_EQ(d.usable(), usable) << d.problem.toStdString();
        EXPECT_EQ(!d.notice.isEmpty(), told) << d.notice.toStdString();
        EXPECT_FALSE(d.problem.contains(u'\n'));
    }
}
