#include "QuickPanelPlacement.h"

#include <algorithm>
#include <cmath>

namespace QuickPanelPlacement {

namespace {

// Centres are compared in doubled coordinates so that halves stay exact.
int doubledCentreY(const QRect& rect)
{
    return 2 * rect.top() + rect.height();
}

bool containsCentre(const QRect& frame, const QRect& anchor)
{
    const int cx = 2 * anchor.left() + anchor.width();
    const int cy = doubledCentreY(anchor);
    return cx >= 2 * frame.left() && cx < 2 * (frame.left() + frame.width()) &&
        cy >= 2 * frame.top() && cy < 2 * (frame.top() + frame.height());
}

// Moves start so that [start, start + length) lies inside [low, low + span) as far as it can;
// when it cannot fit, its start stays at low.
int keepInside(int start, int length, int low, int span)
{
    start = std::min(start, low + span - length);
    return std::max(start, low);
}

} // namespace

QRect anchorAtPointer(const QPoint& pointer)
{
    return QRect(pointer, QSize(1, 1));
}

QRect workAreaFor(const QRect& anchor, const QList<DisplayInfo>& displays)
{
    for (const DisplayInfo& display : displays) {
        if (containsCentre(display.frame, anchor)) {
            return display.visibleFrame;
        }
    }
    const auto primary = std::find_if(displays.cbegin(), displays.cend(),
        [](const DisplayInfo& display) { return display.isPrimary; });
    if (primary != displays.cend()) {
        return primary->visibleFrame;
    }
    if (!displays.isEmpty()) {
        return displays.first().visibleFrame;
    }
    return fallbackWorkArea;
}

Result place(const QRect& anchor, const QSize& size, const QList<DisplayInfo>& displays)
{
    Result result;
    result.workArea = workAreaFor(anchor, displays);
    const QRect& area = result.workArea;
    const int width = std::max(size.width(), 0);
    const int height = std::clamp(size.height(), 0, std::max(area.height(), 0));

    result.edge = doubledCentreY(anchor) < doubledCentreY(area) ? Edge::Below : Edge::Above;
    const int doubledCentreX = 2 * anchor.left() + anchor.width();
    int x = static_cast<int>(std::floor((doubledCentreX - width) / 2.0));
    int y = result.edge == Edge::Below ? anchor.top() + anchor.height() : anchor.top() - height;
    x = keepInside(x, width, area.left(), area.width());
    y = keepInside(y, height, area.top(), area.height());
    result.frame = QRect(x, y, width, height);
    return result;
}

} // namespace QuickPanelPlacement
