#pragma once

// The settings window's size and position as a pure function (Qt's global coordinates,
// origin top-left). The content is scale × (720, 660), the scale clamped to UIScale's range,
// each side rounded halves away from zero; with a screen the width is capped at the visible
// frame's width and the height at its height minus the title bar (frame height minus
// content height), never below 0. Then the window is centred (first opening) or kept inside
// the visible frame: x = min(x, left + width − w); x = max(x, left); y = max(y, top);
// y = min(y, top + height − h), w and h being the frame's size. With no screen the wanted
// size stands uncapped and the window does not move.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace SettingsWindowGeometry {

struct Result
{
    QSize contentSize;
    std::optional<QPoint> framePosition; // the new top-left of the frame, when it moves

    bool operator==(const Result& other) const = default;
};

QSize wantedContentSize(double scale);

// frame: the window's current frame geometry; margins: its frame margins (0 until mapped
// on X11); centre: centre the window (first opening, not yet visible).
Result layout(double scale, const std::optional<QRect>& visibleFrame, const QRect& frame,
    const QMargins& margins, bool centre);

} // namespace SettingsWindowGeometry
