#pragma once

// A scroll tap for the simulated world: grants and failing locations are set by the test, and
// deliver() runs a wheel event through the installed handler.

#include "platform/ScrollEventTap.h"

#include <QList>

#include <optional>

class SimScrollEventTap final : public ScrollEventTap
{
public:
    void setDevice(const std::optional<Device>& device) override { m_device = device; }
    Access access() const override { return m_access; }
    void requestInputMonitoringAccess() override { ++m_accessRequests; }
    bool install(Location location, Handler handler) override;
    void remove() override;

    void setAccess(Access access) { m_access = access; }
    void setFailingLocations(QList<Location> locations) { m_failing = std::move(locations); }
    std::optional<Location> installedLocation() const { return m_location; }
    int accessRequests() const { return m_accessRequests; }
    std::optional<Device> device() const { return m_device; }
    // What reaches the applications: the event itself or its replacement.
    ScrollWheelEvent deliver(const ScrollWheelEvent& event);

private:
    Access m_access {true, true};
    QList<Location> m_failing;
    Handler m_handler;
    std::optional<Location> m_location;
    int m_accessRequests = 0;
    std::optional<Device> m_device;
};
