#include "ScreenSpace.h"

#include <algorithm>

ScreenSpace::ScreenSpace(const QList<DisplayInfo>& displays)
{
    QList<DisplayInfo> ordered = displays;
    std::stable_partition(ordered.begin(), ordered.end(),
        [](const DisplayInfo& display) { return display.isPrimary; });
    if (!ordered.isEmpty()) {
        const QRect& primary = ordered.first().frame;
        m_origin = QPointF(primary.left(), primary.top() + primary.height());
    }
    for (const DisplayInfo& display : std::as_const(ordered)) {
        m_screens.append({toYUp(QRectF(display.frame)), toYUp(QRectF(display.visibleFrame))});
    }
}

QPointF ScreenSpace::toYUp(const QPointF& point) const
{
    return {point.x() - m_origin.x(), m_origin.y() - point.y()};
}

QPointF ScreenSpace::fromYUp(const QPointF& point) const
{
    return {point.x() + m_origin.x(), m_origin.y() - point.y()};
}

// A rectangle's top edge in one space is its bottom edge in the other.
QRectF ScreenSpace::toYUp(const QRectF& rect) const
{
    return {toYUp(rect.bottomLeft()), rect.size()};
}

QRectF ScreenSpace::fromYUp(const QRectF& rect) const
{
    return {fromYUp(QPointF(rect.left(), rect.top() + rect.height())), rect.size()};
}
