#pragma once

// A tap on the scroll-wheel events of the pointing device, which may swallow an event and post
// a replacement in its place. The handler runs on the main thread for every wheel event the
// tap sees; when it returns a replacement, the tap posts that instead of the event. Installing
// needs two grants: reading the device's events ("input monitoring") and posting synthetic
// events ("accessibility").

#include "ScrollWheelEvent.h"

#include <functional>
#include <optional>

class ScrollEventTap
{
public:
    enum class Location
    {
        Hid,
        Session
    };
    struct Access
    {
        bool accessibility = false;
        bool inputMonitoring = false;
    };
    // The pointing device whose wheel is taken over, as the HID utility names it.
    struct Device
    {
        qint64 vendorID = 0;
        qint64 productID = 0;
        qint64 locationID = 0;

        bool operator==(const Device& other) const = default;
    };
    using Handler = std::function<std::optional<ScrollWheelEvent>(const ScrollWheelEvent&)>;

    virtual ~ScrollEventTap() = default;

    // Where the system taps one device at a time, the device the grants are checked for and the
    // tap is installed on; an installed tap follows a change. Elsewhere the tap sees every wheel.
    virtual void setDevice(const std::optional<Device>& device) { (void)device; }

    virtual Access access() const = 0;
    // Asks the user for the input-monitoring grant where the system can ask.
    virtual void requestInputMonitoringAccess() = 0;
    // False when no tap could be created at that location.
    virtual bool install(Location location, Handler handler) = 0;
    virtual void remove() = 0;
};
