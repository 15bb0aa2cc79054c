// Test helper: prints the window that owns an X selection (for example _NET_SYSTEM_TRAY_S0,
// the XEmbed tray host's selection, or CLIPBOARD) as 0x%08x. Exit status 0 when the selection
// has an owner, 1 when it has none, 2 when the display cannot be reached.
//
//   selection-owner NAME

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: selection-owner NAME\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "selection-owner: cannot open the display\n");
        xcb_disconnect(connection);
        return 2;
    }
    const char* name = argv[1];
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_window_t owner = XCB_NONE;
    if (atom != nullptr) {
        xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        if (reply != nullptr) {
            owner = reply->owner;
            std::free(reply);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    std::printf("0x%08x\n", owner);
    return owner == XCB_NONE ? 1 : 0;
}
