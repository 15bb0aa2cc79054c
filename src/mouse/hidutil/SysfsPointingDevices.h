#pragma once

// Finds the pointing devices the kernel knows: every /sys/class/input/inputN whose udev
// properties (ID_INPUT_MOUSE, ID_INPUT_TOUCHPAD, ...) in /run/udev/data say it points, or,
// where udev keeps no record, whose capability bits do (relative X/Y with a left button, or
// absolute X/Y with finger, pen or touch tools). Keyboards, switches and the like are left out.
//
// Names and location come from the USB device above the input device where there is one (its
// product and manufacturer strings, bus number and port chain), from the Bluetooth address
// otherwise. Devices created through uinput (under /sys/devices/virtual/input) are reported
// with the transport "Virtual" and a product name that says so, as virtual HID services are.

#include "HidPointingDevice.h"

#include <QList>
#include <QString>

class SysfsPointingDevices final
{
public:
    // root: the file-system root under which "sys" and "run/udev/data" are read; "/" on a
    // running system, a prepared folder in tests.
    explicit SysfsPointingDevices(QString root);
    // The root named by NORVALE_HIDUTIL_ROOT, "/" when it is not set.
    static SysfsPointingDevices fromEnvironment();

    QList<HidPointingDevice> scan() const;

private:
    std::optional<HidPointingDevice> read(const QString& inputName) const;

    QString m_root;
};
