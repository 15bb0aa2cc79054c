// Test helper: owns the CLIPBOARD with one text and sends it over INCR one small chunk per
// interval, an owner that keeps a reader busy for minutes without ever letting a chunk time-out
// pass. Prints "ready" once it owns the clipboard, "chunk N" after each chunk and "lost" when
// another client takes the clipboard (it then exits).
//
//   slow-clipboard-owner CHUNKS INTERVAL_MS

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* connection = nullptr;

void say(const char* format, int value = 0)
{
    std::printf(format, value);
    std::printf("\n");
    std::fflush(stdout);
}

xcb_atom_t atom(const char* name)
{
    auto* reply = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return result;
}

void notifyRequestor(const xcb_selection_request_event_t& request)
{
    const xcb_selection_notify_event_t notify {XCB_SELECTION_NOTIFY, 0, 0, request.time,
        request.requestor, request.selection, request.target, request.property};
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
        reinterpret_cast<const char*>(&notify));
    xcb_flush(connection);
}

} // namespace

int main(int argc, char** argv)
{
    connection = xcb_connect(nullptr, nullptr);
    if (argc != 3 || xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "usage: slow-clipboard-owner CHUNKS INTERVAL_MS (with a DISPLAY)\n");
        return 2;
    }
    const int chunks = std::atoi(argv[1]);
    const int intervalMs = std::atoi(argv[2]);
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window,
        xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = atom("CLIPBOARD");
    const xcb_atom_t targets = atom("TARGETS");
    const xcb_atom_t text = atom("UTF8_STRING");
    const xcb_atom_t incr = atom("INCR");
    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
    auto* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, clipboard), nullptr);
    const bool owns = owner != nullptr && owner->owner == window;
    std::free(owner);
    if (!owns) {
        return 1;
    }
    say("ready");

    xcb_window_t requestor = XCB_NONE;
    xcb_atom_t property = XCB_NONE;
    int sent = 0;
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const int type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            say("lost");
            return 0;
        }
        if (type == XCB_SELECTION_REQUEST) {
            const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, text};
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor,
                    request->property, XCB_ATOM_ATOM, 32, 2, offered);
            } else {
                // A new transfer: the reader deleting the property asks for each chunk.
                requestor = request->requestor;
                property = request->property;
                sent = 0;
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(connection, requestor, XCB_CW_EVENT_MASK, &mask);
                const uint32_t size = uint32_t(chunks) * 8u;
                xcb_change_property(
                    connection, XCB_PROP_MODE_REPLACE, requestor, property, incr, 32, 1, &size);
            }
            notifyRequestor(*request);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (notify->window == requestor && notify->atom == property &&
                notify->state == XCB_PROPERTY_DELETE && sent < chunks) {
                ::poll(nullptr, 0, intervalMs);
                xcb_change_property(
                    connection, XCB_PROP_MODE_REPLACE, requestor, property, text, 8, 8, "chunk...");
                xcb_flush(connection);
                say("chunk %d", ++sent);
            }
        }
        std::free(event);
    }
    return 0;
}
