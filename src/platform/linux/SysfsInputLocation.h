#pragma once

// Where an input device is plugged in, read from the kernel's device tree (sysfs): the number
// the HID helper reports as a device's location and the scroll tap compares, so that of two
// identical mice only the selected one is taken over. Plain file reads, no Qt beyond QtCore.

#include <QString>

namespace SysfsInputLocation {

// The file's text, trimmed; "" when it cannot be read.
QString readText(const QString& path);
// A hexadecimal number as sysfs writes ids and bus types; 0 when it is none.
qint64 hexValue(const QString& text);

// The USB device (not interface) the input device folder hangs from, or "" when none does
// below devices (the /sys/devices folder).
QString usbDeviceAbove(const QString& input, const QString& devices);

// The input device folder's location: for USB the bus number in the top byte, then each port
// of the chain in one nibble ("1.4" -> 0x14); for Bluetooth the last four bytes of the
// device's address; 0 for any other bus or when nothing says.
qint64 locationID(const QString& input, const QString& devices);

} // namespace SysfsInputLocation
