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

// Moves start so that [start, start + length) lies inside [low, low + span) as far as it can;
// when it cannot fit, its start stays at low.
int keepInside(int start, int length, int low, int span)
{
    start = std::min(start, low + span - length);
    return std::max(start, low);
}

} // namespace

QSizeF leftClickMenuBaseSize(int displayHistoryRowCount, double uiScale)
{
    const int rows = std::clamp(displayHistoryRowCount, 1, 12);
    const int imageRows = std::clamp(displayHistoryRowCount, 1, 3);
    const double imageRowHeight = std::max(uiScale * 124.0, 136.0);
    const double height = (imageRows - 1) * 8.0 + imageRowHeight * imageRows + 30 + 8 + 12 + 12 +
        (310 + rows * 70.0) + 2;
    return {780.0, height};
}

QRect anchorAtPointer(const QPoint& pointer)
{
    return QRect(pointer, QSize(1, 1));
}

QRect workAreaFor(const QRect& anchor, const QList<DisplayInfo>& displays)
{
    return visibleFrameFor(anchor, displays, DisplayMatch::ContainsCentre)
        .value_or(fallbackWorkArea);
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
