// A pointer device for headless sway, whose seat offers clients no pointer without one; ends with stdin.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace {

// The two interfaces of the wlr virtual pointer protocol, as far as a pointer that is only there needs them:
// its requests go unused, and it goes with the connection.
const wl_interface virtualPointer = {"zwlr_virtual_pointer_v1", 1, 0, nullptr, 0, nullptr};
const wl_interface* createTypes[] = {&wl_seat_interface, &virtualPointer};
const wl_message managerRequests[] = {{"create_virtual_pointer", "?on", createTypes}};
const wl_interface pointerManager = {"zwlr_virtual_pointer_manager_v1", 1, 1, managerRequests, 0, nullptr};

struct Globals {
    wl_proxy *pointerManager = nullptr, *seat = nullptr;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, pointerManager.name) == 0)
        g->pointerManager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &pointerManager, 1));
    else if (std::strcmp(interface, "wl_seat") == 0 && !g->seat)
        g->seat = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
}

const wl_registry_listener registryListener = {global, [](void*, wl_registry*, uint32_t) {}};

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    Globals g;
    if (display) {
        wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &g);
        wl_display_roundtrip(display);
    }
    if (!g.pointerManager) {
        std::fprintf(stderr, "no Wayland display that offers a virtual pointer\n");
        return 1;
    }
    wl_proxy_marshal_constructor(g.pointerManager, 0, &virtualPointer, g.seat, nullptr);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    for (char line[128]; std::fgets(line, sizeof line, stdin);) {
    }
    wl_display_disconnect(display);
    return 0;
}
