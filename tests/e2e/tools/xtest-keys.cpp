// Test helper: presses and releases keys through XTest by key code, in order, 50 ms apart, as a
// keyboard would. Key codes rather than key names: xdotool's `type` maps characters onto
// spare key codes by changing the keymap, which toolkits see as a keyboard change, and its
// modifier handling sends duplicate releases (its Super_R also presses Super_L). The script
// finds a name's key code in the server's map (`xmodmap -pke`).
//
//   xtest-keys STEP...   STEP: KEYCODE (press and release), KEYCODE+ (press and hold),
//                        KEYCODE- (release) or sleep:MS
//   xtest-keys --grab KEYCODE MODIFIER...   exits 0 when a passive grab of the key with these
//                        modifiers (shift, control, mod1, mod4) succeeds, 1 when another client
//                        already holds it

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

uint8_t keycodeOf(const std::string& text)
{
    const long code = std::strtol(text.c_str(), nullptr, 10);
    if (code < 8 || code > 255) {
        std::fprintf(stderr, "xtest-keys: '%s' is not a key code\n", text.c_str());
        std::exit(2);
    }
    return static_cast<uint8_t>(code);
}

int grab(xcb_connection_t* connection, int argc, char** argv)
{
    uint16_t modifiers = 0;
    for (int i = 3; i < argc; ++i) {
        const std::string name = argv[i];
        modifiers |= name == "shift" ? XCB_MOD_MASK_SHIFT
            : name == "control"      ? XCB_MOD_MASK_CONTROL
            : name == "mod1"         ? XCB_MOD_MASK_1
            : name == "mod4"         ? XCB_MOD_MASK_4
                                     : 0;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_generic_error_t* error = xcb_request_check(connection,
        xcb_grab_key_checked(connection, 1, root, modifiers, keycodeOf(argv[2]),
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool held = error != nullptr;
    std::free(error);
    return held ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (argc < 2 || xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "usage: xtest-keys STEP... (with a reachable DISPLAY)\n");
        return 2;
    }
    if (argc >= 3 && std::string(argv[1]) == "--grab") {
        return grab(connection, argc, argv);
    }
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        if (step.rfind("sleep:", 0) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(step.c_str() + 6)));
            continue;
        }
        const char last = step.back();
        if (last == '+' || last == '-') {
            step.pop_back();
        }
        const uint8_t code = keycodeOf(step);
        if (last != '-') {
            xcb_test_fake_input(
                connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        if (last != '+') {
            xcb_test_fake_input(
                connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        // A round trip: the server has taken the events before the pause starts.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int failed = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return failed == 0 ? 0 : 1;
}
