#pragma once

// The replacement of a notched wheel event: deltas inverted and/or scaled by the wheel level.
// Continuous (trackpad) events and the replacements themselves, recognised by their marker,
// are never rewritten.
//
// A delta v in units u (1 for lines and points, 65536 for 16.16 fixed point, 120 for a
// high-resolution wheel) becomes, with the level L:
// - acceleration kept: L × v × 0.5, halves away from zero (the delivered, accelerated delta
//   scaled);
// - acceleration discarded: every report counts as one notch, L × 0.5 notches rounded away from
//   zero, each worth u. A report of less than one unit (a free-spinning high-resolution wheel)
//   keeps its fraction of the notch, so the whole delta stays consistent with the line count:
//   level 5 turns +4 lines into +3 lines and 4 × 65536 into 3 × 65536.
// Results saturate at the 64-bit range.

#include "platform/ScrollWheelEvent.h"

#include <optional>

struct ScrollWheelSettings
{
    bool enabled = false;
    int level = 1;
    bool inverted = false;
    bool accelerate = true;
};

namespace ScrollWheelTransform {

// "NORVALE1" read as a big-endian integer: carried by every replacement.
inline constexpr quint64 Marker = 0x4e4f5256414c4531ULL;
inline constexpr qint64 FixedPointUnit = 65536;
inline constexpr qint64 HighResolutionUnit = 120;

// True when an event under these settings is rewritten at all.
bool rewrites(const ScrollWheelEvent& event, const ScrollWheelSettings& settings);
// One delta value; the level is clamped to 1…20.
qint64 transformDelta(qint64 value, qint64 unit, const ScrollWheelSettings& settings);
// The replacement event, or nothing when the event passes unchanged.
std::optional<ScrollWheelEvent> replacement(
    const ScrollWheelEvent& event, const ScrollWheelSettings& settings);

} // namespace ScrollWheelTransform
