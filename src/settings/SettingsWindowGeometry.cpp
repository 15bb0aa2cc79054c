#include "SettingsWindowGeometry.h"

#include "support/UIScale.h"

#include <algorithm>
#include <cmath>

namespace SettingsWindowGeometry {

QSize wantedContentSize(double scale)
{
    const double s = UIScale::clamp(scale);
    // std::round rounds halves away from zero.
    return QSize(static_cast<int>(std::round(s * 720.0)), static_cast<int>(std::round(s * 660.0)));
}

Result layout(double scale, const std::optional<QRect>& visibleFrame, const QRect& frame,
    const QMargins& margins, bool centre)
{
    Result result;
    const QSize wanted = wantedContentSize(scale);
    if (!visibleFrame) {
        result.contentSize = wanted;
        return result;
    }
    const QRect& area = *visibleFrame;
    const int titleBar = margins.top() + margins.bottom();
    const int width = std::max(std::min(wanted.width(), area.width()), 0);
    const int height = std::max(std::min(wanted.height(), area.height() - titleBar), 0);
    result.contentSize = QSize(width, height);

    const int frameWidth = width + margins.left() + margins.right();
    const int frameHeight = height + titleBar;
    if (centre) {
        result.framePosition = QPoint(area.left() + (area.width() - frameWidth) / 2,
            area.top() + (area.height() - frameHeight) / 2);
        return result;
    }
    int x = frame.left();
    int y = frame.top();
    x = std::min(x, area.left() + area.width() - frameWidth);
    x = std::max(x, area.left());
    y = std::max(y, area.top());
    y = std::min(y, area.top() + area.height() - frameHeight);
    if (QPoint(x, y) != frame.topLeft()) {
        result.framePosition = QPoint(x, y);
    }
    return result;
}

} // namespace SettingsWindowGeometry
