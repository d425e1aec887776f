// Presses and releases keys in KWin as its own input would, through KWin's fake input protocol:
// reads lines "press CODE" and "release CODE" (evdev key codes) until its input closes.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The fake input interface as its XML describes it (version 4 brings keyboard_key).
const wl_interface* noTypes[4] = {};
const wl_message fakeInputRequests[] = {
    {"authenticate", "ss", noTypes},         {"pointer_motion", "ff", noTypes},
    {"button", "uu", noTypes},               {"axis", "uf", noTypes},
    {"touch_down", "2uff", noTypes},         {"touch_motion", "2uff", noTypes},
    {"touch_up", "2u", noTypes},             {"touch_cancel", "2", noTypes},
    {"touch_frame", "2", noTypes},           {"pointer_motion_absolute", "3ff", noTypes},
    {"keyboard_key", "4uu", noTypes},
};
const wl_interface fakeInput = {"org_kde_kwin_fake_input", 4, 11, fakeInputRequests, 0, nullptr};
constexpr uint32_t keyboardKey = 10;

wl_proxy* bound = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    if (std::strcmp(interface, fakeInput.name) == 0 && version >= 4)
        bound = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &fakeInput, 4));
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {global, globalRemove};

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!bound) {
        std::fprintf(stderr, "the compositor offers no fake input (version 4)\n");
        return 1;
    }
    wl_proxy_marshal(bound, 0, "varrow tests", "presses keys for the tests");
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[128];
    while (std::fgets(line, sizeof line, stdin)) {
        char what[16];
        unsigned code = 0;
        if (std::sscanf(line, "%15s %u", what, &code) != 2)
            continue;
        wl_proxy_marshal(bound, keyboardKey, code, std::strcmp(what, "press") == 0 ? 1u : 0u);
        wl_display_roundtrip(display);
        std::printf("done\n");
        std::fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
