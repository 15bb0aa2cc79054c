#pragma once

// One scroll-wheel event as the event tap sees it, whatever the input system below: deltas per
// axis in whole lines, in points and in 16.16 fixed point, the phases of a gesture, the
// modifier flags and the source's user data (which marks events the application posted).

#include <QtGlobal>

#include <array>

struct ScrollWheelEvent
{
    bool continuous = false;
    // Axes 1 to 3 (vertical, horizontal, depth).
    std::array<qint64, 3> lineDeltas {};
    std::array<qint64, 3> pointDeltas {};
    std::array<qint64, 3> fixedPointDeltas {};
    qint64 scrollPhase = 0;
    qint64 momentumPhase = 0;
    quint64 modifierFlags = 0;
    quint64 userData = 0;

    bool operator==(const ScrollWheelEvent& other) const = default;
};
