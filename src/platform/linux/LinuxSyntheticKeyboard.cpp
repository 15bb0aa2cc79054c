#include "LinuxSyntheticKeyboard.h"

#include "X11Connection.h"

#include <cstdlib>
#include <xcb/xtest.h>

namespace {

constexpr xcb_keysym_t keysymControlL = 0xffe3;
constexpr xcb_keysym_t keysymLowerV = 0x0076;

// The first key code whose mapping carries the keysym in any column.
xcb_keycode_t keycodeFor(xcb_connection_t* connection, xcb_keysym_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const auto cookie =
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count));
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(connection, cookie, nullptr);
    if (reply == nullptr) {
        return 0;
    }
    const int perCode = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int length = xcb_get_keyboard_mapping_keysyms_length(reply);
    xcb_keycode_t found = 0;
    for (int column = 0; column < perCode && found == 0; ++column) {
        for (int code = 0; code < count; ++code) {
            const int index = code * perCode + column;
            if (index < length && syms[index] == keysym) {
                found = static_cast<xcb_keycode_t>(first + code);
                break;
            }
        }
    }
    std::free(reply);
    return found;
}

} // namespace

LinuxSyntheticKeyboard::LinuxSyntheticKeyboard()
    : m_x11(X11Connection::shared())
{ }

LinuxSyntheticKeyboard::~LinuxSyntheticKeyboard() = default;

bool LinuxSyntheticKeyboard::isTrusted() const
{
    if (!m_x11) {
        return false;
    }
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(m_x11->connection(), &xcb_test_id);
    return extension != nullptr && extension->present != 0;
}

bool LinuxSyntheticKeyboard::postPasteShortcut()
{
    if (!isTrusted()) {
        return false;
    }
    xcb_connection_t* connection = m_x11->connection();
    const xcb_keycode_t control = keycodeFor(connection, keysymControlL);
    const xcb_keycode_t v = keycodeFor(connection, keysymLowerV);
    if (control == 0 || v == 0) {
        return false;
    }
    const auto fake = [connection](uint8_t type, xcb_keycode_t code) {
        xcb_test_fake_input(connection, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    };
    fake(XCB_KEY_PRESS, control);
    fake(XCB_KEY_PRESS, v);
    fake(XCB_KEY_RELEASE, v);
    fake(XCB_KEY_RELEASE, control);
    m_x11->flush();
    return xcb_connection_has_error(connection) == 0;
}
