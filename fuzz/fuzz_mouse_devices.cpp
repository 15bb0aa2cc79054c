// The HID helper's device list (NDJSON, one object per line), as the output of a tool we do not
// control: any bytes must parse into well-formed devices.

#include "FuzzCheck.h"
#include "mouse/MouseDevice.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString output =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<MouseDevice> devices = MouseDevice::parseDevices(output);
    QSet<QString> ids;
    for (const MouseDevice& device : devices) {
        (void)device.displayName();
        (void)device.matchingJSON();
        ids.insert(device.id());
    }
    // Services of one physical device are merged into one entry.
    FUZZ_CHECK(ids.size() == devices.size());
    return 0;
}
