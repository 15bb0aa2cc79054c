#include "RunningWindowSnapshot.h"

#include "WindowPlacementRule.h"

#include <QStringBuilder>

#include <cmath>

QString RunningWindowSnapshot::detailLine() const
{
    const auto rounded = [](double value) {
        return QString::number(std::llround(value));
    };
    return displayedWindowTitle(windowTitle) % QStringLiteral(" / ") % rounded(bounds.width()) %
        QLatin1Char('x') % rounded(bounds.height()) % QStringLiteral(" @ (") % rounded(bounds.x()) %
        QStringLiteral(", ") % rounded(bounds.y()) % QLatin1Char(')');
}
