#include "DockGuardGeometry.h"

#include "support/Text.h"

QString dockEdgeName(DockEdge edge)
{
    switch (edge) {
    case DockEdge::Left:
        return QStringLiteral("left");
    case DockEdge::Right:
        return QStringLiteral("right");
    case DockEdge::Bottom:
        break;
    }
    return QStringLiteral("bottom");
}

DockEdge dockEdgeFromOrientation(const std::optional<QString>& orientation)
{
    const QString value = orientation ? Text::trimmed(*orientation) : QString();
    if (value == QLatin1String("left")) {
        return DockEdge::Left;
    }
    if (value == QLatin1String("right")) {
        return DockEdge::Right;
    }
    return DockEdge::Bottom;
}

QList<DockGuardDisplay> DockGuardGeometry::displays(
    const QList<std::pair<QString, QRectF>>& raw, const QString& systemPrimaryDisplayID)
{
    QList<DockGuardDisplay> result;
    for (const auto& [id, bounds] : raw) {
        result.append({id, bounds, id == systemPrimaryDisplayID});
    }
    return result;
}
