#include "WindowPlacementRuleList.h"

#include "support/Text.h"
#include "support/Uuid.h"

#include <QStringBuilder>

#include <algorithm>

namespace WindowPlacementRuleList {

QList<WindowPlacementRule> forMonitor(
    const QList<WindowPlacementRule>& rules, const QString& monitorSignature)
{
    QList<WindowPlacementRule> matching;
    std::copy_if(rules.cbegin(), rules.cend(), std::back_inserter(matching),
        [&](const WindowPlacementRule& rule) { return rule.monitorSignature == monitorSignature; });
    std::stable_sort(matching.begin(), matching.end(),
        [](const WindowPlacementRule& a, const WindowPlacementRule& b) {
            if (const int byName = Text::compareNames(a.appName, b.appName); byName != 0) {
                return byName < 0;
            }
            return Text::nameLess(a.windowTitle, b.windowTitle);
        });
    return matching;
}

QString registerWindow(QList<WindowPlacementRule>& rules, const RunningWindowSnapshot& window,
    const QRectF& frame, const MonitorConfiguration& monitor, const QDateTime& now)
{
    const QString title = Text::trimmed(window.windowTitle);
    const QRectF normalized = frame.normalized();
    const WindowRect target {
        normalized.x(), normalized.y(), normalized.width(), normalized.height()};
    const QString named = window.appName % QStringLiteral(" / ") % displayedWindowTitle(title);
    const RuleIdentity identity {monitor.signature, window.appBundleIdentifier, title};
    const auto existing = std::find_if(rules.begin(), rules.end(),
        [&](const WindowPlacementRule& rule) { return rule.identity() == identity; });
    if (existing != rules.end()) {
        existing->targetFrame = target;
        existing->appName = window.appName;
        existing->monitorDescription = monitor.description;
        return QStringLiteral("既存登録を更新しました: ") + named;
    }
    WindowPlacementRule rule;
    rule.id = Uuid::create();
    rule.monitorSignature = monitor.signature;
    rule.monitorDescription = monitor.description;
    rule.appBundleIdentifier = window.appBundleIdentifier;
    rule.appName = window.appName;
    rule.windowTitle = title;
    rule.targetFrame = target;
    rule.createdAt = PlacementDates::secondsSinceReferenceDate(now);
    rules.append(rule);
    return QStringLiteral("登録しました: ") + named;
}

std::optional<QString> remove(QList<WindowPlacementRule>& rules, const QUuid& id)
{
    if (rules.removeIf([&](const WindowPlacementRule& rule) { return rule.id == id; }) == 0) {
        return std::nullopt;
    }
    return QStringLiteral("登録を削除しました");
}

} // namespace WindowPlacementRuleList
