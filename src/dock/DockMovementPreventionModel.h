#pragma once

// Keeps a desktop's Dock (or the panel standing in for it) from moving to a secondary display:
// 25 times a second (every 0.04 s) it looks at the pointer, and when the pointer touches the
// Dock edge of a display other than the main one, where that edge is an outer edge of the
// desktop, it moves the pointer a few points back inside before the Dock reacts. Along the
// bottom edge the pointer may keep gliding sideways (at most 6 points a tick). Pointer moves
// are at least 0.03 s apart, the Dock edge is read at most once a second, and the guard pauses
// for one second after every change of the display arrangement.
//
// It also detects the setting an earlier approach changed (spans-displays in the
// com.apple.spaces domain) and can set it back through the defaults tool; that takes effect
// after logging out.
//
// Where the two settings come from: the defaults store's reading of other domains
// ("com.apple.dock" orientation, "com.apple.spaces" spans-displays). The Linux backend maps no
// desktop setting to them, so there the Dock is at the bottom and the legacy setting is off.
//
// Geometry is in the bottom-up window space (origin at the primary display's bottom-left
// corner, y upwards); pointer reads and warps are converted from and to Qt's global space.
// With fewer than two displays no edge can be guarded, so a tick then skips the pointer read.

#include "DockGuardGeometry.h"
#include "platform/DefaultsStore.h"
#include "platform/Displays.h"
#include "platform/Scheduler.h"
#include "platform/Setting.h"
#include "platform/SystemCommands.h"

#include <QObject>
#include <QPointF>

#include <limits>
#include <optional>

class DockMovementPreventionModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool dockMovementPreventionEnabled READ dockMovementPreventionEnabled WRITE
            setDockMovementPreventionEnabled NOTIFY dockMovementPreventionEnabledChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY stateChanged)
    Q_PROPERTY(bool requiresLogout READ requiresLogout NOTIFY stateChanged)
    Q_PROPERTY(bool legacySpacesModeEnabled READ legacySpacesModeEnabled NOTIFY stateChanged)

public:
    static constexpr double tickInterval = 0.04;

    DockMovementPreventionModel(Displays& displays, DefaultsStore& defaults,
        SystemDefaults& systemDefaults, Scheduler& scheduler, QObject* parent = nullptr);
    ~DockMovementPreventionModel() override;

    bool dockMovementPreventionEnabled() const { return m_enabled.value(); }
    void setDockMovementPreventionEnabled(bool enabled);
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    bool requiresLogout() const { return m_requiresLogout; }
    bool legacySpacesModeEnabled() const { return m_legacySpacesModeEnabled; }
    DockEdge dockEdge() const { return m_dockEdge; }

    // Re-reads the legacy setting and recomputes the status line.
    void refresh();
    void restoreSeparateDisplaySpaces();

Q_SIGNALS:
    void dockMovementPreventionEnabledChanged(bool enabled);
    void stateChanged();

private:
    void startMonitoring();
    void stopMonitoring();
    void guardDockEdgeIfNeeded();
    void refreshDockEdgeIfNeeded(bool force);
    void screenParametersDidChange();
    QList<DockGuardDisplay> activeDisplays(const QList<DisplayInfo>& displays) const;
    bool isLegacySpacesModeEnabled() const;
    void setStatusMessage(const QString& message);

    Displays& m_displays;
    DefaultsStore& m_defaults;
    SystemDefaults& m_systemDefaults;
    Scheduler& m_scheduler;
    Setting<bool> m_enabled;
    std::optional<QString> m_statusMessage;
    bool m_requiresLogout = false;
    bool m_legacySpacesModeEnabled = false;
    TimerHandle m_monitoring;
    // Times on the scheduler's monotonic clock.
    static constexpr double distantPast = -std::numeric_limits<double>::infinity();
    double m_lastWarpTime = distantPast;
    std::optional<QPointF> m_lastObservedLocation;
    DockEdge m_dockEdge = DockEdge::Bottom;
    double m_lastDockEdgeRefreshTime = distantPast;
    double m_cursorGuardSuppressedUntil = distantPast;
};
