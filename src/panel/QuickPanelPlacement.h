#pragma once

// How big the quick panel is and where it opens, as pure functions of the settings, the
// anchor and the displays (Qt's global coordinates: origin top-left, y downwards).
//
// The base size: 780 wide whatever the scale; the height holds 1...12 text rows of 70 and
// 1...3 image rows whose height follows the scale but never drops below 136, with the fixed
// parts between them.
//
// The anchor is the tray icon's geometry when the tray tells it (XEmbed), else a 1 × 1
// rectangle at the pointer. The work area is the visible frame of the first display whose
// frame contains the anchor's centre, else the primary display's visible frame, else
// 0, 0, 1440, 900. The panel opens below the anchor when the anchor's centre lies strictly
// above the work area's vertical centre, otherwise above it; it is centred horizontally on
// the anchor, then shifted sideways (and vertically when needed) to stay inside the work
// area. Its height is capped at the work area's height; the content scrolls.

#include "platform/Displays.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QSizeF>

namespace QuickPanelPlacement {

enum class Edge
{
    Below,
    Above
};

struct Result
{
    QRect frame;
    Edge edge = Edge::Below;
    QRect workArea;

    bool operator==(const Result& other) const = default;
};

inline const QRect fallbackWorkArea {0, 0, 1440, 900};

QSizeF leftClickMenuBaseSize(int displayHistoryRowCount, double uiScale);
QRect anchorAtPointer(const QPoint& pointer);
QRect workAreaFor(const QRect& anchor, const QList<DisplayInfo>& displays);
Result place(const QRect& anchor, const QSize& size, const QList<DisplayInfo>& displays);

} // namespace QuickPanelPlacement
