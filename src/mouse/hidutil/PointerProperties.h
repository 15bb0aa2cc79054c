#pragma once

// The X server's pointer devices and their device properties, as XInput 2 exposes them. The
// helper reaches the input driver's settings (libinput's acceleration) only through these.

#include <QList>
#include <QString>

#include <optional>
#include <utility>

class PointerProperties
{
public:
    struct Pointer
    {
        int id = 0;
        QString name;
        // The driver's "Device Node" ("/dev/input/eventN"), empty when it names none.
        QString deviceNode;
        // The driver's "Device Product ID" (vendor, product), when it has one.
        std::optional<std::pair<qint64, qint64>> productID;
    };

    virtual ~PointerProperties() = default;

    // Every slave or floating pointer; nothing (with *error set) when the server is unreachable.
    virtual std::optional<QList<Pointer>> pointers(QString* error) = 0;
    // A property's items as numbers (floats as they are, integers of any width), nothing when
    // the device does not have it.
    virtual std::optional<QList<double>> property(int device, const QString& name) = 0;
    // Replaces an existing property's items, keeping its type and format.
    virtual bool setProperty(
        int device, const QString& name, const QList<double>& values, QString* error) = 0;
};
