#pragma once

// How the two cursor properties of a HID mouse map onto libinput's XInput properties:
//   HIDPointerAcceleration (16.16 fixed point, 1.0 = 65536 the neutral speed)
//     <-> "libinput Accel Speed" = (value - 65536) / 65536, clamped to -1...1;
//         read back as 65536 × (1 + speed), rounded.
//   HIDMouseAcceleration (16.16 fixed point, 0 or less = no acceleration)
//     <-> "libinput Accel Profile Enabled": above 0 the adaptive profile, otherwise flat;
//         read back as 45056 (0.6875, the usual system default) for adaptive, 0 for flat.
// The read-back is what a value set by other means reads as; values this helper wrote read
// back exactly through the remembered raw value (HidPropertyState).

#include <QList>
#include <QString>

#include <optional>

class HidPropertyMapping final
{
public:
    // The mapping for a HID property name, nothing for names without one.
    static std::optional<HidPropertyMapping> forName(const QString& hidName);
    // Properties a write may carry without any effect here: libinput has no scroll acceleration.
    static bool isAcceptedWithoutEffect(const QString& hidName);

    QString hidName() const { return m_hidName; }
    QString xName() const;
    // The items to write for a raw value, shaped like the device's current items.
    QList<double> xValues(qint64 raw, const QList<double>& current) const;
    // The raw value the device's items stand for, nothing for items this mapping cannot read.
    std::optional<qint64> rawValue(const QList<double>& items) const;

private:
    enum class Kind
    {
        PointerSpeed,
        MouseProfile
    };

    HidPropertyMapping(QString hidName, Kind kind);

    QString m_hidName;
    Kind m_kind;
};
