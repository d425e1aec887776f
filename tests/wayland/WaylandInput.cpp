// Input for headless compositors as their own devices would give it, until standard input closes.
// `pointer`: a pointer device for a wlroots seat, which offers clients none without one, so the
// compositor's own cursor commands would reach nobody. `keyboard`: keys pressed in KWin through its
// fake input, from lines "press CODE" and "release CODE" (evdev key codes).
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace {

const wl_interface* noTypes[8] = {};
// The two interfaces of the wlr virtual pointer protocol, as its XML describes them.
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},          {"motion_absolute", "uuuuu", noTypes}, {"button", "uuu", noTypes},
    {"axis", "uuf", noTypes},            {"frame", "", noTypes},                {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes},        {"axis_discrete", "uufi", noTypes},    {"destroy", "", noTypes},
};
const wl_interface virtualPointer = {"zwlr_virtual_pointer_v1", 1, 9, pointerRequests, 0, nullptr};
const wl_interface* createTypes[] = {&wl_seat_interface, &virtualPointer};
const wl_message managerRequests[] = {{"create_virtual_pointer", "?on", createTypes}, {"destroy", "", noTypes}};
const wl_interface pointerManager = {"zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr};
constexpr uint32_t pointerDestroy = 8;
// KWin's fake input interface; version 4 brings keyboard_key.
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

struct Globals {
    wl_proxy* pointerManager = nullptr;
    wl_proxy* seat = nullptr;
    wl_proxy* fakeInput = nullptr;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, pointerManager.name) == 0)
        g->pointerManager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &pointerManager, 1));
    else if (std::strcmp(interface, "wl_seat") == 0 && !g->seat)
        g->seat = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, fakeInput.name) == 0 && version >= 4)
        g->fakeInput = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &fakeInput, 4));
}

void globalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {global, globalRemove};

} // namespace

int main(int argc, char** argv)
{
    const bool keyboard = argc > 1 && std::strcmp(argv[1], "keyboard") == 0;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    Globals g;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &g);
    wl_display_roundtrip(display);
    wl_proxy* device = nullptr;
    if (keyboard && g.fakeInput) {
        device = g.fakeInput;
        wl_proxy_marshal(device, 0, "varrow tests", "presses keys for the tests");
    } else if (!keyboard && g.pointerManager) {
        device = wl_proxy_marshal_constructor(g.pointerManager, 0, &virtualPointer, g.seat, nullptr);
    }
    if (!device) {
        std::fprintf(stderr, keyboard ? "the compositor offers no fake input (version 4)\n"
                                      : "the compositor offers no virtual pointer\n");
        return 1;
    }
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[128], what[16];
    unsigned code = 0;
    while (std::fgets(line, sizeof line, stdin)) {
        if (!keyboard || std::sscanf(line, "%15s %u", what, &code) != 2)
            continue;
        wl_proxy_marshal(device, keyboardKey, code, std::strcmp(what, "press") == 0 ? 1u : 0u);
        wl_display_roundtrip(display);
        std::printf("done\n");
        std::fflush(stdout);
    }
    if (!keyboard) {
        wl_proxy_marshal(device, pointerDestroy);
        wl_proxy_destroy(device);
        wl_display_roundtrip(display);
    }
    wl_display_disconnect(display);
    return 0;
}
