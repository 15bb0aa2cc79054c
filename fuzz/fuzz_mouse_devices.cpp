// The HID helper's device list (NDJSON, one object per line), as the output of a tool we do not
// control: any bytes must parse into well-formed devices, each addressable by its matching
// dictionary, and the list the helper would write for those devices must read back the same.

#include "FuzzCheck.h"
#include "mouse/MouseDevice.h"
#include "mouse/hidutil/HidPointingDevice.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// The helper reads names as UTF-8, so it never holds a lone surrogate (a JSON escape can make
// one here); such texts cannot be written back.
bool isWritable(const std::optional<QString>& text)
{
    return !text || QStringView(*text).isValidUtf16();
}

QByteArray helperListing(const QList<MouseDevice>& devices)
{
    QByteArray listing;
    for (const MouseDevice& device : devices) {
        HidPointingDevice listed;
        listed.vendorID = device.vendorID;
        listed.productID = device.productID;
        listed.locationID = device.locationID;
        listed.transport = device.transport;
        listed.product = device.productName;
        listed.manufacturer = device.manufacturer;
        listing += listed.jsonLine() + '\n';
    }
    return listing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString output =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<MouseDevice> devices = MouseDevice::parseDevices(output);
    QSet<QString> ids;
    for (const MouseDevice& device : devices) {
        FUZZ_CHECK(!device.displayName().isEmpty());
        const QJsonDocument matching = QJsonDocument::fromJson(device.matchingJSON().toUtf8());
        FUZZ_CHECK(matching.isObject());
        FUZZ_CHECK(
            matching.object().value(QLatin1String("VendorID")).toInteger(-1) == device.vendorID);
        FUZZ_CHECK(
            matching.object().value(QLatin1String("ProductID")).toInteger(-1) == device.productID);
        ids.insert(device.id());
    }
    // Services of one physical device are merged into one entry.
    FUZZ_CHECK(ids.size() == devices.size());

    if (std::all_of(devices.begin(), devices.end(), [](const MouseDevice& device) {
            return isWritable(device.transport) && isWritable(device.productName) &&
                isWritable(device.manufacturer);
        })) {
        FUZZ_CHECK(MouseDevice::parseDevices(QString::fromUtf8(helperListing(devices))) == devices);
    }
    return 0;
}
