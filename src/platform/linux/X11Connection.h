#pragma once

// A private xcb connection of the desktop services, serviced on the main thread through a
// socket notifier. It is separate from Qt's own connection on purpose: event masks are per
// client, so selecting PropertyChange on the root window or on other applications' windows
// here never replaces the masks Qt selected for itself, and synchronous round trips (a fresh
// server timestamp, property reads) need not wait behind Qt's event reader thread.
//
// Subscribers receive every event (errors of unchecked requests included, response type 0)
// on the main thread; they copy what they need, the event is freed after dispatch.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <xcb/xcb.h>

class QSocketNotifier;

// A reply of xcb, which the caller frees with free().
struct XcbReplyDeleter
{
    void operator()(void* reply) const { std::free(reply); }
};
template<typename Reply>
using XcbReply = std::unique_ptr<Reply, XcbReplyDeleter>;

class X11Connection final : public QObject
{
    Q_OBJECT

public:
    // The process's shared connection while any user holds it; null when no X display is
    // reachable (a Wayland-only session, no DISPLAY).
    static std::shared_ptr<X11Connection> shared();

    ~X11Connection() override;

    xcb_connection_t* connection() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    QSize rootSize() const;
    xcb_atom_t atom(const char* name);

    // Adds the given event bits to this client's mask on the window (other bits are kept).
    void selectEvents(xcb_window_t window, uint32_t mask);

    std::optional<QList<uint32_t>> cardinals(
        xcb_window_t window, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_CARDINAL);
    // The current owner of a selection, XCB_NONE when unowned.
    xcb_window_t selectionOwner(xcb_atom_t selection);
    std::optional<QByteArray> bytes(xcb_window_t window, xcb_atom_t property, xcb_atom_t type);
    bool windowExists(xcb_window_t window);
    // The window's rectangle in root coordinates (its border excluded).
    std::optional<QRect> rootGeometry(xcb_window_t window);
    // Mapped, and so are all its ancestors.
    bool isViewable(xcb_window_t window);
    // A 32-bit client message about window, sent to the root window the way EWMH asks of
    // pagers and taskbars; false when the server refused it.
    bool sendToRoot(xcb_window_t window, xcb_atom_t type, const std::array<uint32_t, 5>& data);

    // The server's current time, obtained with a zero-length property append on a private
    // window (the ICCCM way); events that arrive meanwhile are kept for dispatch.
    xcb_timestamp_t serverTime();

    using Handler = std::function<void(const xcb_generic_event_t* event)>;
    // The handler runs for every event until the context object is destroyed.
    void subscribe(QObject* context, Handler handler);

    void flush();

private:
    explicit X11Connection(xcb_connection_t* connection, int screenNumber);
    void readEvents();
    void scheduleDispatch();
    void dispatch(xcb_generic_event_t* event);

    struct Subscriber
    {
        QObject* context = nullptr;
        Handler handler;
    };

    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_window_t m_root = XCB_NONE;
    int m_screenNumber = 0;
    xcb_window_t m_timeWindow = XCB_NONE;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QList<Subscriber> m_subscribers;
    QList<xcb_generic_event_t*> m_held;
    QSocketNotifier* m_notifier = nullptr;
    bool m_dispatchScheduled = false;
};
