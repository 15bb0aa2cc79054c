#include "SimScrollEventTap.h"

bool SimScrollEventTap::install(Location location, Handler handler)
{
    if (m_failing.contains(location)) {
        return false;
    }
    m_handler = std::move(handler);
    m_location = location;
    return true;
}

void SimScrollEventTap::remove()
{
    m_handler = {};
    m_location.reset();
}

ScrollWheelEvent SimScrollEventTap::deliver(const ScrollWheelEvent& event)
{
    if (!m_handler) {
        return event;
    }
    return m_handler(event).value_or(event);
}
