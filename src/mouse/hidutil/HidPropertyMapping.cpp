#include "HidPropertyMapping.h"

#include <QtMath>

#include <algorithm>

namespace {

constexpr double FixedOne = 65536.0;
constexpr qint64 AdaptiveReadBack = 45056;

} // namespace

HidPropertyMapping::HidPropertyMapping(QString hidName, Kind kind)
    : m_hidName(std::move(hidName))
    , m_kind(kind)
{ }

std::optional<HidPropertyMapping> HidPropertyMapping::forName(const QString& hidName)
{
    if (hidName == QLatin1String("HIDPointerAcceleration")) {
        return HidPropertyMapping(hidName, Kind::PointerSpeed);
    }
    if (hidName == QLatin1String("HIDMouseAcceleration")) {
        return HidPropertyMapping(hidName, Kind::MouseProfile);
    }
    return std::nullopt;
}

bool HidPropertyMapping::isAcceptedWithoutEffect(const QString& hidName)
{
    return hidName == QLatin1String("HIDScrollAcceleration") ||
        hidName == QLatin1String("HIDMouseScrollAcceleration");
}

QString HidPropertyMapping::xName() const
{
    return m_kind == Kind::PointerSpeed ? QStringLiteral("libinput Accel Speed")
                                        : QStringLiteral("libinput Accel Profile Enabled");
}

QList<double> HidPropertyMapping::xValues(qint64 raw, const QList<double>& current) const
{
    if (m_kind == Kind::PointerSpeed) {
        // The server keeps a 32-bit float: remember exactly what it will hold.
        return {double(float(std::clamp((double(raw) - FixedOne) / FixedOne, -1.0, 1.0)))};
    }
    // adaptive, flat[, custom]: one profile on, the others off.
    QList<double> profiles(std::max<qsizetype>(current.size(), 2), 0.0);
    profiles[raw > 0 ? 0 : 1] = 1.0;
    return profiles;
}

std::optional<qint64> HidPropertyMapping::rawValue(const QList<double>& items) const
{
    if (m_kind == Kind::PointerSpeed) {
        if (items.size() != 1) {
            return std::nullopt;
        }
        return qRound64(FixedOne * (1.0 + items[0]));
    }
    if (items.size() >= 2 && items[0] != 0.0) {
        return AdaptiveReadBack;
    }
    if (items.size() >= 2 && items[1] != 0.0) {
        return 0;
    }
    return std::nullopt;
}
