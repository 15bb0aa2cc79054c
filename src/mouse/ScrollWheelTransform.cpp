#include "ScrollWheelTransform.h"

#include <algorithm>
#include <limits>

namespace ScrollWheelTransform {

namespace {

constexpr qint64 Max = std::numeric_limits<qint64>::max();
constexpr qint64 Min = std::numeric_limits<qint64>::min();

qint64 saturatingProduct(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_mul_overflow(a, b, &result)) {
        return (a < 0) == (b < 0) ? Max : Min;
    }
    return result;
}

// n / 2 with halves away from zero.
qint64 halfAwayFromZero(qint64 n)
{
    const qint64 half = n / 2;
    if (n % 2 == 0) {
        return half;
    }
    return n > 0 ? half + 1 : half - 1;
}

} // namespace

bool rewrites(const ScrollWheelEvent& event, const ScrollWheelSettings& settings)
{
    if (!settings.enabled || event.continuous) {
        return false;
    }
    if (!settings.inverted && settings.level < 2) {
        return false;
    }
    return event.userData != Marker;
}

qint64 transformDelta(qint64 value, qint64 unit, const ScrollWheelSettings& settings)
{
    if (value == 0) {
        return 0;
    }
    const qint64 level = std::clamp(settings.level, 1, 20);
    const bool negative = (value < 0) != settings.inverted;
    if (settings.accelerate) {
        const qint64 magnitude = value == Min ? Max : (value < 0 ? -value : value);
        const qint64 scaled = halfAwayFromZero(saturatingProduct(level, magnitude));
        return negative ? -scaled : scaled;
    }
    const qint64 magnitude = value == Min ? unit : std::min(value < 0 ? -value : value, unit);
    const qint64 scaled = saturatingProduct(halfAwayFromZero(level), magnitude);
    return negative ? -scaled : scaled;
}

std::optional<ScrollWheelEvent> replacement(
    const ScrollWheelEvent& event, const ScrollWheelSettings& settings)
{
    if (!rewrites(event, settings)) {
        return std::nullopt;
    }
    ScrollWheelEvent result = event;
    for (std::size_t axis = 0; axis < result.lineDeltas.size(); ++axis) {
        result.lineDeltas[axis] =
            std::clamp<qint64>(transformDelta(event.lineDeltas[axis], 1, settings),
                std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
        result.pointDeltas[axis] = transformDelta(event.pointDeltas[axis], 1, settings);
        result.fixedPointDeltas[axis] =
            transformDelta(event.fixedPointDeltas[axis], FixedPointUnit, settings);
    }
    result.userData = Marker;
    return result;
}

} // namespace ScrollWheelTransform
