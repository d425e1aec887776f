// Which platform the program asks Qt for, in each kind of session.
#include "app/DisplayChoice.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <map>

TEST(DisplayChoice, XWaylandWhereThereIsOneNativeWaylandOnlyWhereItIsAllThereIs)
{
    struct Case {
        std::map<std::string, QByteArray> env;
        bool plugin;
        QByteArray platform;
        bool told;
    };
    const Case cases[] = {
        {{{"DISPLAY", ":0"}}, true, "", false},                                          // plain X11
        {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, true, "xcb", false},       // XWayland
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, true, "wayland", true},                       // Wayland only
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, false, "", false},                            // nothing we can run on
        {{{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}, false, "xcb", true},         // asked, not installed
        {{{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "w"}}, true, "", true},
        {{{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "offscreen"}, {"WAYLAND_DISPLAY", "w"}}, true, "", false},
    };
    for (const Case& c : cases) {
        const DisplayChoice d = ChooseDisplay(
            [&](const char* name) {
                const auto it = c.env.find(name);
                return it == c.env.end() ? QByteArray() : it->second;
            },
            c.plugin);
        SCOPED_TRACE(c.env.size());
        EXPECT_EQ(d.platform, c.platform);
        EXPECT_EQ(!d.notice.isEmpty(), c.told) << d.notice.toStdString();
    }
}
