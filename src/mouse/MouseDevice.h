#pragma once

// One attached pointing device as the HID utility lists it. A physical mouse exposes several
// HID services; parseDevices merges them by vendor, product and location into one entry and
// keeps only real mice (no trackpads, virtual or automation devices), in the order the user
// sees names elsewhere.

#include <QList>
#include <QString>

#include <optional>

struct MouseDevice
{
    qint64 vendorID = 0;
    qint64 productID = 0;
    qint64 locationID = 0;
    std::optional<QString> transport;
    std::optional<QString> productName;
    std::optional<QString> manufacturer;

    // "vendor:product:location" in decimal: the stored selection and the key of the baselines.
    QString id() const;
    QString displayName() const;
    // The compact JSON dictionary that addresses the device in property reads and writes.
    QString matchingJSON() const;

    bool operator==(const MouseDevice& other) const = default;

    // The output of "list --matching mouse --ndjson", one JSON object per line.
    static QList<MouseDevice> parseDevices(const QString& output);
};
