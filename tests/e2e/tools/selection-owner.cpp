// Test helper: prints the window that owns an X selection (_NET_SYSTEM_TRAY_S0, CLIPBOARD...).
// Exit status 0 when the selection has an owner, 1 when it has none, 2 without a display.
//
//   selection-owner NAME

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

int main(int argc, char** argv)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (argc != 2 || xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "usage: selection-owner NAME (with a reachable DISPLAY)\n");
        return 2;
    }
    auto* atom = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(argv[1])), argv[1]),
        nullptr);
    auto* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom != nullptr ? atom->atom : 0), nullptr);
    const xcb_window_t owner = reply != nullptr ? reply->owner : XCB_NONE;
    std::free(reply);
    std::free(atom);
    xcb_disconnect(connection);
    std::printf("0x%08x\n", owner);
    return owner == XCB_NONE ? 1 : 0;
}
