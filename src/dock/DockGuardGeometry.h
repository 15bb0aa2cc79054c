#pragma once

// The displays as the Dock guard sees them: bounds in the bottom-up window space (origin at
// the bottom-left corner of the primary display, y upwards), and which one is the main
// display. Display identifiers are the platform's stable display ids (strings on Linux).

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>
#include <utility>

enum class DockEdge
{
    Bottom,
    Left,
    Right
};

QString dockEdgeName(DockEdge edge);
// The Dock edge from the stored orientation: a string, trimmed of white space and line
// breaks, "left" or "right"; anything else (none, another type, "bottom") is the bottom.
DockEdge dockEdgeFromOrientation(const std::optional<QString>& orientation);

struct DockGuardDisplay
{
    QString id;
    QRectF bounds;
    bool isPrimary = false;

    bool operator==(const DockGuardDisplay& other) const = default;
};

namespace DockGuardGeometry {

QList<DockGuardDisplay> displays(
    const QList<std::pair<QString, QRectF>>& raw, const QString& systemPrimaryDisplayID);

} // namespace DockGuardGeometry
