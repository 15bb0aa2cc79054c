// Test helper: presses and releases each given key code through XTest, in order, 50 ms apart,
// as a keyboard would. Key codes rather than key names: xdotool's `type` maps characters onto
// spare key codes by changing the keymap, which toolkits see as a keyboard change, and its
// modifier handling sends duplicate releases. The script finds a name's key code in the
// server's map (`xmodmap -pke`).
//
//   xtest-keys KEYCODE...

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

int main(int argc, char** argv)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (argc < 2 || xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "usage: xtest-keys KEYCODE... (with a reachable DISPLAY)\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const long code = std::strtol(argv[i], nullptr, 10);
        if (code < 8 || code > 255) {
            std::fprintf(stderr, "xtest-keys: '%s' is not a key code\n", argv[i]);
            return 2;
        }
        for (const uint8_t type : {uint8_t(XCB_KEY_PRESS), uint8_t(XCB_KEY_RELEASE)}) {
            xcb_test_fake_input(
                connection, type, static_cast<uint8_t>(code), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        }
        // A round trip: the server has taken both events before the pause starts.
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int failed = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return failed == 0 ? 0 : 1;
}
