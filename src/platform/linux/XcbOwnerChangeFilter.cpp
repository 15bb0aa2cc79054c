#include "XcbOwnerChangeFilter.h"

#include <QCoreApplication>

#include <cstdlib>
#include <utility>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

XcbOwnerChangeFilter::XcbOwnerChangeFilter(
    xcb_connection_t* connection, std::function<void()> dropped)
    : m_dropped(std::move(dropped))
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    m_resourceBase = setup->resource_id_base;
    m_resourceMask = setup->resource_id_mask;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    auto* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, 9, "CLIPBOARD"), nullptr);
    if (xfixes != nullptr && xfixes->present != 0 && atom != nullptr) {
        m_xfixesFirstEvent = xfixes->first_event;
        m_clipboard = atom->atom;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    std::free(atom);
}

XcbOwnerChangeFilter::~XcbOwnerChangeFilter()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool XcbOwnerChangeFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        return false;
    }
    const auto* notify = static_cast<const xcb_xfixes_selection_notify_event_t*>(message);
    if (notify->selection != m_clipboard || isOwnWindow(notify->owner)) {
        return false;
    }
    // Qt handles the previous event completely before the next reaches any filter.
    settle();
    m_awaitingQt = true;
    QMetaObject::invokeMethod(
        this, [this] { settle(); }, Qt::QueuedConnection);
    return false;
}

bool XcbOwnerChangeFilter::isOwnWindow(std::uint32_t window) const
{
    return window != XCB_NONE && (window & ~m_resourceMask) == m_resourceBase;
}

void XcbOwnerChangeFilter::settle()
{
    if (m_awaitingQt) {
        m_awaitingQt = false;
        m_dropped();
    }
}
