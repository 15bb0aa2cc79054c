#pragma once

// One pointing device as the HID helper reports it: the keys a HID service listing carries,
// plus the evdev node through which the X server's input driver reaches the same device.
// Mice (and pointing sticks) carry the generic-desktop mouse usage (page 1, usage 2);
// touchpads, touchscreens and tablets carry the digitizer usages they have in HID, so that a
// reader that keeps only mice drops them.

#include <QJsonObject>
#include <QString>

#include <optional>

struct HidPointingDevice
{
    enum class Kind
    {
        Mouse,
        Touchpad,
        Touchscreen,
        Tablet
    };

    qint64 vendorID = 0;
    qint64 productID = 0;
    // USB: bus number in the top byte, then one nibble per hub port (as the HID registry
    // writes it); Bluetooth: the low 32 bits of the device address; otherwise 0.
    qint64 locationID = 0;
    std::optional<QString> transport;
    std::optional<QString> product;
    std::optional<QString> manufacturer;
    Kind kind = Kind::Mouse;
    // "/dev/input/eventN", empty when the device has no event node.
    QString eventNode;

    int primaryUsagePage() const;
    int primaryUsage() const;
    // The listing keys and their values.
    QJsonObject properties() const;
    // One compact JSON object, keys in listing order, no line feed.
    QByteArray jsonLine() const;
    // True when every key of matching is listed with an equal value.
    bool matches(const QJsonObject& matching) const;
    // "vendor:product:location", the key under which written values are remembered.
    QString key() const;

    bool operator==(const HidPointingDevice& other) const = default;
};
