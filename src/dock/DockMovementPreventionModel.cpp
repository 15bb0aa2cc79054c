#include "DockMovementPreventionModel.h"

#include "platform/ScreenSpace.h"

#include <algorithm>
#include <cmath>

namespace {

const QString dockDomain = QStringLiteral("com.apple.dock");
const QString spacesDomain = QStringLiteral("com.apple.spaces");

// The platform's rectangle test: the minimum edges belong to the rectangle, the maximum ones
// do not.
bool contains(const QRectF& rect, const QPointF& point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
        point.y() < rect.bottom();
}

} // namespace

DockMovementPreventionModel::DockMovementPreventionModel(Displays& displays,
    DefaultsStore& defaults, SystemDefaults& systemDefaults, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_displays(displays)
    , m_defaults(defaults)
    , m_systemDefaults(systemDefaults)
    , m_scheduler(scheduler)
    , m_enabled(defaults, QStringLiteral("feature.dockMovementPrevention.enabled"), false)
{
    m_enabled.registerDefault();
    m_enabled.load();
    refreshDockEdgeIfNeeded(true);
    refresh();
    connect(&m_displays, &Displays::displaysChanged, this, [this] { screenParametersDidChange(); });
    if (dockMovementPreventionEnabled()) {
        startMonitoring();
    }
}

DockMovementPreventionModel::~DockMovementPreventionModel() = default;

void DockMovementPreventionModel::setDockMovementPreventionEnabled(bool enabled)
{
    const bool changed = m_enabled.set(enabled);
    if (enabled) {
        startMonitoring();
    } else {
        stopMonitoring();
    }
    refresh();
    if (changed) {
        Q_EMIT dockMovementPreventionEnabledChanged(enabled);
    }
}

void DockMovementPreventionModel::setStatusMessage(const QString& message)
{
    m_statusMessage = message;
    Q_EMIT stateChanged();
}

bool DockMovementPreventionModel::isLegacySpacesModeEnabled() const
{
    const DefaultsValue value =
        m_defaults.foreignValue(spacesDomain, QStringLiteral("spans-displays"));
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag;
    }
    if (const auto* number = std::get_if<qint64>(&value)) {
        return *number != 0;
    }
    if (const auto* number = std::get_if<double>(&value)) {
        return *number != 0;
    }
    return false;
}

void DockMovementPreventionModel::refresh()
{
    m_legacySpacesModeEnabled = isLegacySpacesModeEnabled();
    if (m_requiresLogout) {
        setStatusMessage(QStringLiteral("ログアウト後にフルスクリーン時の表示設定が戻ります"));
    } else if (m_legacySpacesModeEnabled) {
        setStatusMessage(QStringLiteral("旧方式の設定が残っています"));
    } else if (dockMovementPreventionEnabled()) {
        setStatusMessage(QStringLiteral("Dock移動抑止: オン"));
    } else {
        setStatusMessage(QStringLiteral("Dock移動抑止: オフ"));
    }
}

void DockMovementPreventionModel::restoreSeparateDisplaySpaces()
{
    const SystemCommandResult result = m_systemDefaults.run(QStringLiteral("/usr/bin/defaults"),
        {QStringLiteral("write"), spacesDomain, QStringLiteral("spans-displays"),
            QStringLiteral("-bool"), QStringLiteral("false")});
    if (!result.isSuccess()) {
        refresh();
        setStatusMessage(
            QStringLiteral("表示設定を戻せませんでした: ") + result.errorDescription());
        return;
    }
    m_legacySpacesModeEnabled = false;
    m_requiresLogout = true;
    setStatusMessage(QStringLiteral("ログアウト後にフルスクリーン時の表示設定が戻ります"));
}

void DockMovementPreventionModel::startMonitoring()
{
    m_monitoring = m_scheduler.repeating(tickInterval, [this] { guardDockEdgeIfNeeded(); });
}

void DockMovementPreventionModel::stopMonitoring()
{
    m_monitoring.cancel();
    m_lastObservedLocation.reset();
}

void DockMovementPreventionModel::refreshDockEdgeIfNeeded(bool force)
{
    const double now = m_scheduler.uptime();
    if (!force && now - m_lastDockEdgeRefreshTime < 1.0) {
        return;
    }
    m_lastDockEdgeRefreshTime = now;
    const DefaultsValue value = m_defaults.foreignValue(dockDomain, QStringLiteral("orientation"));
    const auto* text = std::get_if<QString>(&value);
    m_dockEdge = dockEdgeFromOrientation(text ? std::optional(*text) : std::nullopt);
}

void DockMovementPreventionModel::screenParametersDidChange()
{
    const double now = m_scheduler.uptime();
    m_cursorGuardSuppressedUntil = now + 1.0;
    m_lastObservedLocation.reset();
    m_lastWarpTime = now;
    refreshDockEdgeIfNeeded(true);
}

QList<DockGuardDisplay> DockMovementPreventionModel::activeDisplays(
    const QList<DisplayInfo>& displays) const
{
    const ScreenSpace space(displays);
    QList<std::pair<QString, QRectF>> raw;
    QString primary;
    for (const DisplayInfo& display : displays) {
        if (display.id.isEmpty()) {
            continue;
        }
        raw.append({display.id, space.toYUp(QRectF(display.frame))});
        if (display.isPrimary && primary.isEmpty()) {
            primary = display.id;
        }
    }
    return DockGuardGeometry::displays(raw, primary);
}

void DockMovementPreventionModel::guardDockEdgeIfNeeded()
{
    const double now = m_scheduler.uptime();
    if (now < m_cursorGuardSuppressedUntil) {
        return;
    }
    refreshDockEdgeIfNeeded(false);
    const QList<DisplayInfo> infos = m_displays.displays();
    if (infos.size() < 2) {
        // Only the main display: no edge to guard, and no need to ask where the pointer is.
        m_lastObservedLocation.reset();
        return;
    }
    const ScreenSpace space(infos);
    const QPointF p = space.toYUp(QPointF(m_displays.pointerLocation()));
    const std::optional<QPointF> prev = m_lastObservedLocation;
    const QList<DockGuardDisplay> displays = activeDisplays(infos);

    const DockGuardDisplay* guarded = nullptr;
    for (const DockGuardDisplay& d : displays) {
        if (d.isPrimary) {
            continue;
        }
        const QRectF& b = d.bounds;
        if (!contains(b.adjusted(-3, -3, 3, 3), p)) {
            continue;
        }
        const double distance = m_dockEdge == DockEdge::Bottom ? p.y() - b.top()
            : m_dockEdge == DockEdge::Left                     ? p.x() - b.left()
                                                               : b.right() - p.x();
        if (distance > 3.0) {
            continue;
        }
        const QPointF probe = m_dockEdge == DockEdge::Bottom ? QPointF(p.x(), b.top() - 4)
            : m_dockEdge == DockEdge::Left                   ? QPointF(b.left() - 4, p.y())
                                                             : QPointF(b.right() + 4, p.y());
        const bool bordersAnother =
            std::any_of(displays.begin(), displays.end(), [&](const DockGuardDisplay& other) {
                return other.id != d.id && contains(other.bounds, probe);
            });
        if (!bordersAnother) {
            guarded = &d;
            break;
        }
    }
    if (!guarded) {
        m_lastObservedLocation.reset();
        return;
    }

    const QRectF& b = guarded->bounds;
    QPointF target;
    if (m_dockEdge == DockEdge::Left) {
        target = {b.left() + 7, p.y()};
    } else if (m_dockEdge == DockEdge::Right) {
        target = {b.right() - 7, p.y()};
    } else if (!prev || std::abs(p.x() - prev->x()) < 1.5) {
        target = {p.x(), b.top() + 7};
    } else {
        // Let the pointer glide on sideways along the bottom edge instead of stopping it.
        const double dx = std::abs(p.x() - prev->x());
        const double step = std::min(dx, 6.0) * (p.x() - prev->x() > 0 ? 1 : -1);
        target = {std::clamp(p.x() + step, b.left(), b.right()), b.top() + 5};
    }

    if (now - m_lastWarpTime >= 0.03) {
        const auto info = std::find_if(infos.begin(), infos.end(),
            [&](const DisplayInfo& display) { return display.id == guarded->id; });
        const QRectF frame(info->frame);
        m_displays.warpPointer(
            QPointF(frame.left() + (target.x() - b.left()), frame.bottom() - (target.y() - b.top()))
                .toPoint());
        m_lastWarpTime = now;
        m_lastObservedLocation = target;
    } else {
        m_lastObservedLocation = p;
    }
}
