// The push-to-talk key, held anywhere on the desktop: Pause, grabbed from the X server.
#include "ListenKey.h"

#include <QGuiApplication>
#include <xcb/xcb.h>

namespace {
constexpr xcb_keysym_t pauseKeysym = 0xff13;
// Caps Lock and Num Lock must not stop the key working.
constexpr uint16_t lockCombinations[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_keycode_t keycodeOf(xcb_connection_t* c, xcb_keysym_t sym)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!map)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t found = 0;
    for (int k = 0; k < count && !found; ++k)
        for (int i = 0; i < map->keysyms_per_keycode; ++i)
            if (syms[k * map->keysyms_per_keycode + i] == sym) {
                found = xcb_keycode_t(setup->min_keycode + k);
                break;
            }
    free(map);
    return found;
}
} // namespace

namespace input {

ListenKey::ListenKey()
{
    // X repeats a held key as release-and-press pairs; a press right after a release is a repeat.
    release_.setSingleShot(true);
    release_.setInterval(60);
    connect(&release_, &QTimer::timeout, this, [this] {
        held_ = false;
        emit heldChanged(false);
    });
}

ListenKey::~ListenKey()
{
    ungrab();
}

platform::Result<> ListenKey::grab()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    auto* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return platform::Fail(QStringLiteral("The Pause key cannot be used to talk on this desktop; hold the middle "
                                             "button on the character or pick \"Listen\" from its menu."));
    const xcb_keycode_t code = keycodeOf(c, pauseKeysym);
    if (!code)
        return platform::Fail(QStringLiteral("This keyboard has no Pause key; hold the middle button on the character "
                                             "or pick \"Listen\" from its menu."));
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    keycode_ = code;
    for (uint16_t mods : lockCombinations) {
        xcb_generic_error_t* e = xcb_request_check(
            c, xcb_grab_key_checked(c, 0, root_, mods, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (e) {
            free(e);
            ungrab();
            return platform::Fail(QStringLiteral("Another program holds the Pause key; hold the middle button on "
                                                 "the character or pick \"Listen\" from its menu to talk."));
        }
    }
    qGuiApp->installNativeEventFilter(this);
    return {};
}

void ListenKey::ungrab()
{
    if (!keycode_)
        return;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    for (uint16_t mods : lockCombinations)
        xcb_ungrab_key(c, keycode_, root_, mods);
    xcb_flush(c);
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    keycode_ = 0;
}

bool ListenKey::nativeEventFilter(const QByteArray& type, void* message, qintptr*)
{
    if (!keycode_ || type != "xcb_generic_event_t")
        return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    const uint8_t kind = ev->response_type & 0x7f;
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
        return false;
    if (reinterpret_cast<xcb_key_press_event_t*>(ev)->detail != keycode_)
        return false;
    if (kind == XCB_KEY_PRESS) {
        release_.stop();
        if (!held_) {
            held_ = true;
            emit heldChanged(true);
        }
    } else if (held_) {
        release_.start();
    }
    return true;
}

} // namespace input
