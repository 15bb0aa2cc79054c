#include "XcbSelectionReader.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace {

struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};

template<typename T>
using XcbPointer = std::unique_ptr<T, FreeDeleter>;

// Property reads go in pieces of this many 32-bit units (4 MiB).
constexpr std::uint32_t chunkWords = 1024 * 1024;

struct Awaited
{
    XcbPointer<xcb_generic_event_t> event;
    bool ownerChanged = false;
};

int eventType(const xcb_generic_event_t* event)
{
    return event->response_type & 0x7f;
}

// An XFixes notification that the selection changed hands (firstEvent 0: no XFixes).
bool isOwnerChange(
    const xcb_generic_event_t* event, std::uint8_t firstEvent, std::uint32_t selection)
{
    if (firstEvent == 0 || eventType(event) != firstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        return false;
    }
    return reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event)->selection ==
        selection;
}

// Waits until an event accepted by `wanted` arrives, or one that says the selection changed
// hands; other events are dropped. No event on the deadline or when the connection breaks.
template<typename Predicate>
Awaited waitForEvent(xcb_connection_t* connection, const QDeadlineTimer& deadline,
    std::uint8_t xfixesFirstEvent, std::uint32_t selection, Predicate wanted)
{
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
            XcbPointer<xcb_generic_event_t> event(raw);
            if (isOwnerChange(event.get(), xfixesFirstEvent, selection)) {
                return {nullptr, true};
            }
            if (wanted(event.get())) {
                return {std::move(event), false};
            }
        }
        if (xcb_connection_has_error(connection) != 0) {
            return {};
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) {
            return {};
        }
        pollfd descriptor {};
        descriptor.fd = xcb_get_file_descriptor(connection);
        descriptor.events = POLLIN;
        const int ready = ::poll(&descriptor, 1, int(remaining));
        if (ready < 0 && errno != EINTR) {
            return {};
        }
    }
}

// Why a wait ended without the event it waited for.
XcbSelectionReader::Status failureStatus(xcb_connection_t* connection, const Awaited& awaited)
{
    if (awaited.ownerChanged) {
        return XcbSelectionReader::Status::Abandoned;
    }
    return xcb_connection_has_error(connection) != 0 ? XcbSelectionReader::Status::Failed
                                                     : XcbSelectionReader::Status::TimedOut;
}

} // namespace

XcbSelectionReader::XcbSelectionReader(QByteArray displayName, QByteArray selection, Limits limits)
    : m_displayName(std::move(displayName))
    , m_selectionName(std::move(selection))
    , m_limits(limits)
{ }

XcbSelectionReader::~XcbSelectionReader()
{
    disconnect();
}

bool XcbSelectionReader::ensureConnected()
{
    if (m_connection != nullptr && xcb_connection_has_error(m_connection) == 0) {
        return true;
    }
    disconnect();
    if (m_displayName.isEmpty()) {
        return false;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(m_displayName.constData(), &screenNumber);
    if (connection == nullptr) {
        return false;
    }
    if (xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        xcb_disconnect(connection);
        return false;
    }
    m_connection = connection;
    m_window = xcb_generate_id(connection);
    const std::uint32_t mask = XCB_CW_EVENT_MASK;
    const std::uint32_t values[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, mask, values);
    m_selection = atom(m_selectionName, false);
    m_property = atom("NORVALE_SELECTION", false);
    m_incr = atom("INCR", false);
    if (m_selection == XCB_NONE || m_property == XCB_NONE || m_incr == XCB_NONE) {
        disconnect();
        return false;
    }
    watchOwnerChanges();
    return true;
}

void XcbSelectionReader::watchOwnerChanges()
{
    m_xfixesFirstEvent = 0;
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(m_connection, &xcb_xfixes_id);
    if (extension == nullptr || extension->present == 0) {
        return;
    }
    XcbPointer<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        m_connection, xcb_xfixes_query_version(m_connection, 1, 0), nullptr));
    if (!version) {
        return;
    }
    xcb_xfixes_select_selection_input(m_connection, m_window, m_selection,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    m_xfixesFirstEvent = extension->first_event;
}

// Changes of hands reported before this read began are the ones that made the caller read:
// a round trip puts every event the server sent so far into the queue, and they are dropped.
void XcbSelectionReader::dropQueuedEvents()
{
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        std::free(event);
    }
}

void XcbSelectionReader::disconnect()
{
    if (m_connection != nullptr) {
        xcb_disconnect(m_connection);
    }
    m_connection = nullptr;
    m_window = XCB_NONE;
    m_xfixesFirstEvent = 0;
    m_atoms.clear();
    m_names.clear();
}

std::uint32_t XcbSelectionReader::atom(const QByteArray& name, bool onlyIfExists)
{
    const auto known = m_atoms.constFind(name);
    if (known != m_atoms.constEnd()) {
        return *known;
    }
    XcbPointer<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection,
        xcb_intern_atom(
            m_connection, onlyIfExists ? 1 : 0, std::uint16_t(name.size()), name.constData()),
        nullptr));
    if (!reply) {
        return XCB_NONE;
    }
    // An atom that does not exist yet is not cached: an owner may create it later.
    if (reply->atom != XCB_NONE) {
        m_atoms.insert(name, reply->atom);
        m_names.insert(reply->atom, name);
    }
    return reply->atom;
}

QByteArray XcbSelectionReader::atomName(std::uint32_t value)
{
    const auto known = m_names.constFind(value);
    if (known != m_names.constEnd()) {
        return *known;
    }
    XcbPointer<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, value), nullptr));
    if (!reply) {
        return {};
    }
    QByteArray name(
        xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_names.insert(value, name);
    m_atoms.insert(name, value);
    return name;
}

std::uint32_t XcbSelectionReader::owner()
{
    if (!ensureConnected()) {
        return XCB_NONE;
    }
    XcbPointer<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

XcbSelectionReader::Status XcbSelectionReader::targetNames(
    const QByteArray& atomList, QList<QByteArray>* names)
{
    names->clear();
    if (!ensureConnected()) {
        return Status::NoDisplay;
    }
    if (atomList.size() % 4 != 0) {
        return Status::Failed;
    }
    const qsizetype count = atomList.size() / 4;
    QList<std::uint32_t> atoms(count);
    std::memcpy(atoms.data(), atomList.constData(), std::size_t(atomList.size()));

    // Ask for every unknown name at once; one round trip instead of one per target.
    QHash<std::uint32_t, xcb_get_atom_name_cookie_t> pending;
    for (const std::uint32_t value : atoms) {
        if (value != XCB_NONE && !m_names.contains(value) && !pending.contains(value)) {
            pending.insert(value, xcb_get_atom_name(m_connection, value));
        }
    }
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        XcbPointer<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_connection, it.value(), nullptr));
        if (reply) {
            const QByteArray name(
                xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
            m_names.insert(it.key(), name);
            m_atoms.insert(name, it.key());
        }
    }
    for (const std::uint32_t value : atoms) {
        const QByteArray name = m_names.value(value);
        if (!name.isEmpty()) {
            names->append(name);
        }
    }
    return Status::Ok;
}

XcbSelectionReader::Result XcbSelectionReader::convert(const QByteArray& target)
{
    if (!ensureConnected()) {
        return {Status::NoDisplay, {}, {}};
    }
    // A target no client ever named cannot be offered; no need to ask the owner.
    const std::uint32_t targetAtom = atom(target, true);
    if (targetAtom == XCB_NONE) {
        return {Status::Refused, {}, {}};
    }
    Result result = convertAtom(targetAtom);
    if (result.status == Status::TimedOut || result.status == Status::Abandoned ||
        result.status == Status::Failed || result.status == Status::TooLarge) {
        // A late answer or a half-finished transfer must not reach the next request.
        disconnect();
    }
    return result;
}

XcbSelectionReader::Result XcbSelectionReader::convertAtom(std::uint32_t target)
{
    dropQueuedEvents();
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_convert_selection(
        m_connection, m_window, m_selection, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(m_connection);

    const QDeadlineTimer answerDeadline(m_limits.answerMilliseconds);
    const Awaited answer = waitForEvent(m_connection, answerDeadline, m_xfixesFirstEvent,
        m_selection, [this](const xcb_generic_event_t* e) {
            if (eventType(e) != XCB_SELECTION_NOTIFY) {
                return false;
            }
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
            return notify->requestor == m_window && notify->selection == m_selection;
        });
    if (!answer.event) {
        return {failureStatus(m_connection, answer), {}, {}};
    }
    const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(answer.event.get());
    if (notify->property == XCB_NONE) {
        return {Status::Refused, {}, {}};
    }

    Result result;
    std::uint32_t type = XCB_NONE;
    if (!readProperty(&result.bytes, &type, m_limits.maxBytes)) {
        return {Status::TooLarge, {}, {}};
    }
    if (type == m_incr) {
        qint64 sizeHint = 0;
        if (result.bytes.size() >= 4) {
            std::uint32_t value = 0;
            std::memcpy(&value, result.bytes.constData(), 4);
            sizeHint = value;
        }
        return readIncremental(sizeHint);
    }
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);
    if (type == XCB_NONE) {
        // The owner named a property but never set it.
        return {Status::Refused, {}, {}};
    }
    result.status = Status::Ok;
    result.type = atomName(type);
    return result;
}

bool XcbSelectionReader::readProperty(QByteArray* bytes, std::uint32_t* type, qint64 limit)
{
    bytes->clear();
    *type = XCB_NONE;
    std::uint32_t offsetWords = 0;
    for (;;) {
        XcbPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection,
            xcb_get_property(m_connection, 0, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY,
                offsetWords, chunkWords),
            nullptr));
        if (!reply) {
            return true;
        }
        *type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        if (bytes->size() + length + qint64(reply->bytes_after) > limit) {
            return false;
        }
        if (bytes->isEmpty() && reply->bytes_after > 0) {
            bytes->reserve(qsizetype(length) + qsizetype(reply->bytes_after));
        }
        bytes->append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        if (reply->bytes_after == 0 || length == 0) {
            return true;
        }
        offsetWords += std::uint32_t(length) / 4;
    }
}

XcbSelectionReader::Result XcbSelectionReader::readIncremental(qint64 sizeHint)
{
    if (sizeHint > m_limits.maxBytes) {
        return {Status::TooLarge, {}, {}};
    }
    Result result;
    result.bytes.reserve(qsizetype(sizeHint));
    // Deleting the INCR property tells the owner to send the first chunk.
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);

    const QDeadlineTimer transferDeadline(m_limits.transferMilliseconds);
    std::uint32_t dataType = XCB_NONE;
    for (;;) {
        QDeadlineTimer chunkDeadline(m_limits.chunkMilliseconds);
        if (transferDeadline.deadline() < chunkDeadline.deadline()) {
            chunkDeadline = transferDeadline;
        }
        const Awaited chunkReady = waitForEvent(m_connection, chunkDeadline, m_xfixesFirstEvent,
            m_selection, [this](const xcb_generic_event_t* e) {
                if (eventType(e) != XCB_PROPERTY_NOTIFY) {
                    return false;
                }
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                return notify->window == m_window && notify->atom == m_property &&
                    notify->state == XCB_PROPERTY_NEW_VALUE;
            });
        if (!chunkReady.event) {
            return {failureStatus(m_connection, chunkReady), {}, {}};
        }
        QByteArray chunk;
        std::uint32_t type = XCB_NONE;
        if (!readProperty(&chunk, &type, m_limits.maxBytes - result.bytes.size())) {
            return {Status::TooLarge, {}, {}};
        }
        // Deleting the property asks for the next chunk.
        xcb_delete_property(m_connection, m_window, m_property);
        xcb_flush(m_connection);
        if (chunk.isEmpty()) {
            result.status = Status::Ok;
            result.type = atomName(dataType != XCB_NONE ? dataType : type);
            return result;
        }
        if (dataType == XCB_NONE) {
            dataType = type;
        }
        result.bytes.append(chunk);
    }
}
