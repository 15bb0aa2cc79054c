#include "X11Connection.h"

#include <QPointer>
#include <QSize>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

std::weak_ptr<X11Connection>& sharedSlot()
{
    static std::weak_ptr<X11Connection> slot;
    return slot;
}

} // namespace

std::shared_ptr<X11Connection> X11Connection::shared()
{
    if (auto existing = sharedSlot().lock()) {
        return existing;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return nullptr;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        if (connection != nullptr) {
            xcb_disconnect(connection);
        }
        return nullptr;
    }
    std::shared_ptr<X11Connection> created(new X11Connection(connection, screenNumber));
    if (created->m_screen == nullptr) {
        return nullptr;
    }
    sharedSlot() = created;
    return created;
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber)
    : m_connection(connection)
    , m_screenNumber(screenNumber)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        return;
    }
    m_screen = it.data;
    m_root = m_screen->root;

    // An unmapped window of our own whose property changes give us server timestamps.
    m_timeWindow = xcb_generate_id(m_connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_timeWindow, m_root, -1, -1, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);

    m_notifier =
        new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readEvents(); });
}

X11Connection::~X11Connection()
{
    for (xcb_generic_event_t* event : std::as_const(m_held)) {
        std::free(event);
    }
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
}

QSize X11Connection::rootSize() const
{
    return m_screen == nullptr ? QSize()
                               : QSize(m_screen->width_in_pixels, m_screen->height_in_pixels);
}

xcb_atom_t X11Connection::atom(const char* name)
{
    const QByteArray key(name);
    const auto found = m_atoms.constFind(key);
    if (found != m_atoms.constEnd()) {
        return found.value();
    }
    const auto cookie =
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(key.size()), key.constData());
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (value != XCB_ATOM_NONE) {
        m_atoms.insert(key, value);
    }
    scheduleDispatch();
    return value;
}

void X11Connection::selectEvents(xcb_window_t window, uint32_t mask)
{
    const auto cookie = xcb_get_window_attributes(m_connection, window);
    XcbReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, cookie, nullptr));
    if (!reply) {
        return;
    }
    const uint32_t combined = reply->your_event_mask | mask;
    if (combined != reply->your_event_mask) {
        xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &combined);
        xcb_flush(m_connection);
    }
    scheduleDispatch();
}

std::optional<QList<uint32_t>> X11Connection::cardinals(
    xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const auto value = bytes(window, property, type);
    if (!value) {
        return std::nullopt;
    }
    QList<uint32_t> result;
    const qsizetype count = value->size() / qsizetype(sizeof(uint32_t));
    result.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        uint32_t item = 0;
        std::memcpy(&item, value->constData() + i * qsizetype(sizeof(uint32_t)), sizeof(item));
        result.append(item);
    }
    return result;
}

std::optional<QByteArray> X11Connection::bytes(
    xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    if (window == XCB_NONE || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    // Properties read here are small (ids, struts, names); 64 KiB bounds a hostile one.
    const auto cookie = xcb_get_property(m_connection, 0, window, property, type, 0, 16384);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, nullptr));
    scheduleDispatch();
    if (!reply || reply->type == XCB_ATOM_NONE ||
        (type != XCB_GET_PROPERTY_TYPE_ANY && reply->type != type)) {
        return std::nullopt;
    }
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

xcb_window_t X11Connection::selectionOwner(xcb_atom_t selection)
{
    if (selection == XCB_ATOM_NONE) {
        return XCB_NONE;
    }
    const auto cookie = xcb_get_selection_owner(m_connection, selection);
    XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_connection, cookie, nullptr));
    scheduleDispatch();
    return reply ? reply->owner : xcb_window_t(XCB_NONE);
}

bool X11Connection::windowExists(xcb_window_t window)
{
    if (window == XCB_NONE) {
        return false;
    }
    const auto cookie = xcb_get_window_attributes(m_connection, window);
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, cookie, &error));
    std::free(error);
    scheduleDispatch();
    return reply != nullptr;
}

std::optional<QRect> X11Connection::rootGeometry(xcb_window_t window)
{
    const auto geometryCookie = xcb_get_geometry(m_connection, window);
    const auto translateCookie = xcb_translate_coordinates(m_connection, window, m_root, 0, 0);
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, geometryCookie, nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(m_connection, translateCookie, nullptr));
    scheduleDispatch();
    if (!geometry || !origin) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

bool X11Connection::isViewable(xcb_window_t window)
{
    const auto cookie = xcb_get_window_attributes(m_connection, window);
    XcbReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, cookie, nullptr));
    scheduleDispatch();
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11Connection::sendToRoot(
    xcb_window_t window, xcb_atom_t type, const std::array<uint32_t, 5>& data)
{
    if (type == XCB_ATOM_NONE) {
        return false;
    }
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::copy(data.cbegin(), data.cend(), std::begin(message.data.data32));
    const auto cookie = xcb_send_event_checked(m_connection, 0, m_root,
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&message));
    XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
    return error == nullptr;
}

xcb_timestamp_t X11Connection::serverTime()
{
    const xcb_atom_t property = atom("_NORVALE_TIMESTAMP");
    xcb_change_property(
        m_connection, XCB_PROP_MODE_APPEND, m_timeWindow, property, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(m_connection);
    while (xcb_generic_event_t* event = xcb_wait_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (notify->window == m_timeWindow && notify->atom == property) {
                const xcb_timestamp_t time = notify->time;
                std::free(event);
                scheduleDispatch();
                return time;
            }
        }
        m_held.append(event);
    }
    return XCB_CURRENT_TIME; // the connection broke
}

void X11Connection::subscribe(QObject* context, Handler handler)
{
    m_subscribers.append({context, std::move(handler)});
    connect(context, &QObject::destroyed, this, [this, context] {
        m_subscribers.removeIf([context](const Subscriber& s) { return s.context == context; });
    });
}

void X11Connection::flush()
{
    xcb_flush(m_connection);
}

void X11Connection::readEvents()
{
    // Events held back by a synchronous wait come first, in the order they arrived.
    while (!m_held.isEmpty()) {
        dispatch(m_held.takeFirst());
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        dispatch(event);
    }
    if (xcb_connection_has_error(m_connection) != 0 && m_notifier != nullptr) {
        // The server went away: the socket stays readable forever, so stop listening
        // instead of spinning. Requests from now on fail at once.
        m_notifier->setEnabled(false);
    }
}

void X11Connection::scheduleDispatch()
{
    // A reply wait may have moved events from the socket into xcb's queue, where the socket
    // notifier no longer sees them.
    if (m_dispatchScheduled) {
        return;
    }
    m_dispatchScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_dispatchScheduled = false;
        readEvents();
    });
}

void X11Connection::dispatch(xcb_generic_event_t* event)
{
    // Handlers may subscribe or unsubscribe; iterate over a snapshot guarded by QPointer.
    const QList<Subscriber> subscribers = m_subscribers;
    for (const Subscriber& subscriber : subscribers) {
        const bool stillSubscribed = std::any_of(m_subscribers.cbegin(), m_subscribers.cend(),
            [&](const Subscriber& s) { return s.context == subscriber.context; });
        if (stillSubscribed) {
            subscriber.handler(event);
        }
    }
    std::free(event);
}
