#pragma once

// The operations on the list of rules that the feature's model performs for the user:
// the rules of the attached configuration in the order lists show them, registration of a
// window (a new rule, or the update of the rule with the same identity, keeping its id and
// creation date), and deletion. Each change returns the status line it reports; the caller
// saves the list.

#include "MonitorDescriptor.h"
#include "RunningWindowSnapshot.h"
#include "WindowPlacementRule.h"

#include <QDateTime>
#include <QList>
#include <QRectF>
#include <QUuid>

#include <optional>

namespace WindowPlacementRuleList {

// The rules of the configuration, stably by application name, then title (displayed-name
// order).
QList<WindowPlacementRule> forMonitor(
    const QList<WindowPlacementRule>& rules, const QString& monitorSignature);

// Creates or updates the rule for the window at frame; returns the status line.
QString registerWindow(QList<WindowPlacementRule>& rules, const RunningWindowSnapshot& window,
    const QRectF& frame, const MonitorConfiguration& monitor, const QDateTime& now);

// The status line when a rule went away; nothing (and no change) when none had that id.
std::optional<QString> remove(QList<WindowPlacementRule>& rules, const QUuid& id);

} // namespace WindowPlacementRuleList
