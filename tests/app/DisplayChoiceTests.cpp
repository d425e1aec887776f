// Which platform the program asks Qt for, in each kind of session.
#include "app/DisplayChoice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(DisplayChoice, XWaylandWhereThereIsOneNativeWaylandOnlyWhereItIsAllThereIs)
{
    struct Case {
        DisplayEnvironment env; // platform, DISPLAY, WAYLAND_DISPLAY
        bool plugin;
        QByteArray platform;
        bool usable;
        bool told;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.env.platform.toStdString() + "|" + c.env.display.toStdString() + "|" +
                     c.env.waylandDisplay.toStdString());
        const DisplayChoice d = ChooseDisplay(c.env, [](const QByteArray& display) { return display == ":0"; }, c.plugin);
        EXPECT_EQ(d.platform, c.platform);
        EXPECT_EQ(d.usable(), c.usable) << d.problem.toStdString();
        EXPECT_EQ(!d.notice.isEmpty(), c.told) << d.notice.toStdString();
        EXPECT_FALSE(d.problem.contains(u'\n'));
    }
}
