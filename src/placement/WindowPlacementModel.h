#pragma once

// Window placement: decides when the stored rules are applied to the windows of running
// applications, under which monitor configuration, and reports every outcome in one status
// line. Rules are applied
// - at start-up: every second for ten rounds, or (frequent mode off) up to 8 attempts 0.45 s
//   apart until one places a window;
// - when an application with rules for the configuration starts: up to 8 attempts 0.45 s
//   apart until all its rules have placed a window;
// - 1 s after the last of a burst of display changes that changed the signature (meanwhile
//   nothing is applied, launches wait, and on-demand actions refuse); a change within 30 s of
//   start restarts the start-up application;
// - 0.7 s after the session resumed (when chosen), then up to 8 attempts 0.45 s apart;
// - on demand (applyNow).
// Each kind of task runs under its key (a bundle identifier, "__initial", "__wake"); starting
// one cancels its predecessor under the key. Tasks are timers owned here: they end with the
// model.
//
// Every assignment of a setting runs its change handler, also when the value is the same.
// Rules that could not be decoded are kept under their backup key and the status line says so
// once the model is set up.

#include "MonitorDescriptor.h"
#include "RunningWindowSnapshot.h"
#include "WindowPlacementAccess.h"
#include "WindowPlacementRule.h"
#include "WindowPlacementRuleStore.h"
#include "platform/Displays.h"
#include "platform/Scheduler.h"
#include "platform/SessionEvents.h"
#include "platform/Setting.h"
#include "platform/WindowAccess.h"
#include "shortcuts/LeftClickShortcut.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <map>
#include <optional>

class WindowPlacementModel final : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        DefaultsStore& defaults;
        Scheduler& scheduler;
        Displays& displays;
        WindowAccess& windows;
        SessionEvents& session;
    };

    // ownBundleIdentifier: this application's, left out of the registration picker.
    WindowPlacementModel(
        Services services, std::optional<QString> ownBundleIdentifier, QObject* parent = nullptr);
    ~WindowPlacementModel() override;

    const QString& currentMonitorSignature() const { return m_monitor.signature; }
    const QString& currentMonitorDescription() const { return m_monitor.description; }
    const QList<RunningWindowSnapshot>& availableWindows() const { return m_availableWindows; }
    const QList<WindowPlacementRule>& rules() const { return m_rules; }
    QList<WindowPlacementRule> rulesForCurrentMonitor() const;
    const std::optional<QString>& selectedAvailableWindowID() const { return m_selectedWindowID; }
    void setSelectedAvailableWindowID(const std::optional<QString>& id);
    const std::optional<QString>& statusMessage() const { return m_statusMessage; }
    bool requiresAccessibilityPermission() const { return m_requiresPermission; }
    bool isScreenConfigurationChanging() const { return m_screenConfigurationChanging; }

    bool windowPlacementEnabled() const { return m_enabled.value(); }
    void setWindowPlacementEnabled(bool enabled);
    bool reapplyOnWakeEnabled() const { return m_reapplyOnWake.value(); }
    void setReapplyOnWakeEnabled(bool enabled);
    bool frequentStartupReapplyEnabled() const { return m_frequentStartup.value(); }
    void setFrequentStartupReapplyEnabled(bool enabled);
    const std::optional<LeftClickShortcut>& applyShortcut() const { return m_applyShortcut; }
    void setApplyShortcut(const std::optional<LeftClickShortcut>& shortcut);

    void refresh();
    void applyNow();
    void registerSelectedWindow();
    void removeRule(const QUuid& id);
    void refreshAvailableWindows();

Q_SIGNALS:
    void statusMessageChanged();
    void monitorConfigurationChanged();
    void availableWindowsChanged();
    void rulesChanged();
    void settingsChanged();
    void applyShortcutChanged();

private:
    enum class Attempt
    {
        Continue,
        Stop
    };

    void refreshMonitorConfiguration();
    void setStatus(const QString& message);
    void setRequiresPermission(bool required);
    bool isTrusted(bool prompt);
    void saveRules();
    int applyRules(const std::optional<QString>& bundleIdentifier = std::nullopt);
    int ruleCount(const QString& bundleIdentifier) const;

    // Runs attempt after firstDelay, then up to attempts - 1 more times pause apart, until
    // it says Stop.
    void startTask(const QString& key, double firstDelay, int attempts, double pause,
        std::function<Attempt()> attempt);
    void runTask(const QString& key, int remaining, double pause, std::function<Attempt()> attempt);
    void cancelTask(const QString& key);
    void cancelAllApplyTasks();

    void scheduleInitialApplyIfNeeded();
    void scheduleApplyForLaunchedApp(const QString& bundleIdentifier);
    void drainPendingLaunchedApplications();
    void scheduleRefreshAfterScreenConfigurationChange();
    void finishScreenConfigurationChange();
    void scheduleApplyAfterWake();
    void startMonitoringLaunchedApplications();
    void stopMonitoringLaunchedApplications();
    void updateWakeMonitoring();
    // One pass over every rule, reporting a success with reason ("起動時に", "復帰時に").
    Attempt applyAllAttempt(const QString& reason, bool untilSuccess);

    Services m_services;
    std::optional<QString> m_ownBundleIdentifier;
    WindowPlacementAccess m_access;
    WindowPlacementRuleStore m_store;
    Setting<bool> m_enabled;
    Setting<bool> m_reapplyOnWake;
    Setting<bool> m_frequentStartup;
    std::optional<LeftClickShortcut> m_applyShortcut;

    MonitorConfiguration m_monitor;
    QList<RunningWindowSnapshot> m_availableWindows;
    QList<WindowPlacementRule> m_rules;
    std::optional<QString> m_selectedWindowID;
    std::optional<QString> m_statusMessage;
    bool m_requiresPermission = false;
    bool m_screenConfigurationChanging = false;
    double m_startedAt = 0;

    QMetaObject::Connection m_launchConnection;
    QMetaObject::Connection m_wakeConnection;
    TimerHandle m_screenConfigurationChangeTask;
    std::map<QString, TimerHandle> m_applyTasks; // move-only handles: not a QHash
    QSet<QString> m_pendingLaunchedBundleIDs;
};
