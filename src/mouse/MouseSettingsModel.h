#pragma once

// Mouse adjustment: cursor speed and acceleration of one external mouse written into its HID
// properties through the HID utility, wheel speed and inversion carried out by a scroll tap.
// Each device's values from before the first change (its baseline) are kept across runs and
// resets so that they can be put back; the system scroll direction is restored when the feature
// is switched off, reset or the application quits.
//
// Every tool run is asynchronous. Each kind of job (device refresh, application of the
// settings, value read-back, forced disable, reset, termination of conflicting utilities) has
// one slot; a new job cancels the one in its slot, and a cancelled job takes no further step.
// While on, the devices are refreshed every 2.5 s.
//
// Decision: other vendors' mouse utilities are found through the process list only; the Linux
// desktop has no application bundles to ask for politely, so the kill patterns do the work.

#include "MouseCommandTask.h"
#include "MouseDevice.h"
#include "MouseSystemTools.h"
#include "platform/DefaultsStore.h"
#include "platform/Scheduler.h"
#include "platform/ScrollEventTap.h"
#include "platform/Setting.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <optional>

struct MouseTuningValues
{
    qint64 mouse = 0;
    qint64 pointer = 0;

    bool operator==(const MouseTuningValues& other) const = default;
};

class MouseSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool mouseAdjustmentEnabled READ mouseAdjustmentEnabled WRITE
            setMouseAdjustmentEnabled NOTIFY mouseAdjustmentEnabledChanged)
    Q_PROPERTY(qint64 wheelSpeedLevel READ wheelSpeedLevel WRITE setWheelSpeedLevel NOTIFY
            wheelSpeedLevelChanged)
    Q_PROPERTY(bool scrollInverted READ scrollInverted WRITE setScrollInverted NOTIFY
            scrollInvertedChanged)
    Q_PROPERTY(qint64 cursorSpeedLevel READ cursorSpeedLevel WRITE setCursorSpeedLevel NOTIFY
            cursorSpeedLevelChanged)
    Q_PROPERTY(qint64 cursorAccelerationLevel READ cursorAccelerationLevel WRITE
            setCursorAccelerationLevel NOTIFY cursorAccelerationLevelChanged)
    Q_PROPERTY(bool scrollAccelerationEnabled READ scrollAccelerationEnabled WRITE
            setScrollAccelerationEnabled NOTIFY scrollAccelerationEnabledChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY statusMessageChanged)

public:
    static constexpr double refreshInterval = 2.5;
    static constexpr qint64 pointerFactor = 6553;
    static constexpr qint64 mouseFactor = 9011;

    MouseSettingsModel(SystemCommandExecutor& executor, ScrollEventTap& tap,
        DefaultsStore& defaults, Scheduler& scheduler, MouseSystemTools tools,
        QObject* parent = nullptr);
    ~MouseSettingsModel() override;

    // The level a HID value reads back as: nearest to abs(value) / factor, clamped.
    static qint64 levelFromValue(qint64 value, qint64 factor, qint64 minimum);
    // The last whole number of the first line (not naming the registry id) that ends in one.
    static std::optional<qint64> parseNumericProperty(const QString& output);

    const QList<MouseDevice>& devices() const { return m_devices; }
    std::optional<QString> selectedDeviceID() const { return m_selectedDeviceID; }
    void setSelectedDeviceID(const std::optional<QString>& id);
    std::optional<MouseDevice> selectedDevice() const;

    qint64 wheelSpeedLevel() const { return m_wheelSpeedLevel.value(); }
    void setWheelSpeedLevel(qint64 level);
    bool scrollInverted() const { return m_scrollInverted.value(); }
    void setScrollInverted(bool inverted);
    qint64 cursorSpeedLevel() const { return m_cursorSpeedLevel.value(); }
    void setCursorSpeedLevel(qint64 level);
    qint64 cursorAccelerationLevel() const { return m_cursorAccelerationLevel.value(); }
    void setCursorAccelerationLevel(qint64 level);
    bool scrollAccelerationEnabled() const { return m_scrollAccelerationEnabled.value(); }
    void setScrollAccelerationEnabled(bool enabled);
    bool mouseAdjustmentEnabled() const { return m_mouseAdjustmentEnabled.value(); }
    // Captures the system scroll direction on the transition on; restores it when switched off.
    void setMouseAdjustmentEnabled(bool enabled);

    std::optional<QString> statusMessage() const { return m_statusMessage; }
    const QStringList& conflictingApplications() const { return m_conflictingApplications; }

    bool softwareInversionActive() const { return m_softwareInversionActive; }
    std::optional<QString> softwareInversionUnavailableReason() const
    {
        return m_unavailableReason;
    }
    bool requiresAccessibilityPermission() const { return m_requiresAccessibility; }
    bool requiresInputMonitoringPermission() const { return m_requiresInputMonitoring; }
    QString softwareInversionModeDescription() const { return m_modeDescription; }
    qint64 observedScrollEventCount() const { return m_observedScrollEventCount; }
    qint64 invertedScrollEventCount() const { return m_invertedScrollEventCount; }
    qint64 lastObservedScrollDelta() const { return m_lastObservedScrollDelta; }

    QHash<QString, MouseTuningValues> baselineTuningByDevice() const { return m_baselines; }
    std::optional<bool> preAdjustmentSystemNaturalScrolling() const { return m_preAdjustment; }

    bool needsSoftwareScrollProcessing() const;
    void startSoftwareScrollInversion();
    void stopSoftwareScrollInversion();
    void resetSoftwareInversionDiagnostics();

    void scheduleRefreshDevices();
    void scheduleApplyCurrentSettings();
    void scheduleRefreshCurrentValuesFromSystem();
    void scheduleForceDisableScrollInversion();
    void scheduleTerminateConflictingApplications();
    void resetAllSettings();
    // Starts the clean-up and returns at once; nothing is started when there is nothing to undo.
    void prepareForApplicationTermination();

Q_SIGNALS:
    void mouseAdjustmentEnabledChanged(bool enabled);
    void wheelSpeedLevelChanged(qint64 level);
    void scrollInvertedChanged(bool inverted);
    void cursorSpeedLevelChanged(qint64 level);
    void cursorAccelerationLevelChanged(qint64 level);
    void scrollAccelerationEnabledChanged(bool enabled);
    void statusMessageChanged();
    void devicesChanged();
    // A device refresh has ended: the list is published (true) or could not be read (false).
    // A refresh replaced by a newer one ends with the newer one.
    void devicesRefreshFinished(bool succeeded);
    void selectedDeviceIDChanged();
    void conflictingApplicationsChanged();
    void softwareInversionChanged();

private:
    using Done = std::function<void()>;
    using TuningDone = std::function<void(std::optional<MouseTuningValues>, const QString& error)>;

    void setStatusMessage(const std::optional<QString>& message);
    void setSelectedDeviceIDWithHandler(const std::optional<QString>& id);
    void setLevel(Setting<qint64>& setting, qint64 level, qint64 minimum,
        void (MouseSettingsModel::*changed)(qint64));
    void mouseAdjustmentEnabledDidChange();
    void setSoftwareInversionState(bool active, const QString& mode,
        const std::optional<QString>& reason, bool accessibility, bool inputMonitoring);
    std::optional<ScrollWheelEvent> handleScrollEvent(const ScrollWheelEvent& event);
    std::optional<ScrollEventTap::Device> selectedTapDevice() const;
    bool runtimeBool(const Setting<bool>& setting) const;

    MouseTaskPointer restart(MouseTaskPointer& slot);
    void start(
        const MouseTaskPointer& task, void (MouseSettingsModel::*job)(const MouseTaskPointer&));
    QStringList hidUtility(const QStringList& arguments) const;
    QStringList propertyCommand(
        const MouseDevice& device, const QString& option, const QString& value) const;
    void readNumericProperty(const MouseTaskPointer& task, const QString& key,
        const MouseDevice& device, std::function<void(std::optional<qint64>, QString)> done);
    void readTuning(const MouseTaskPointer& task, const MouseDevice& device, TuningDone done);
    void baselineTuning(const MouseTaskPointer& task, const MouseDevice& device, TuningDone done);
    void captureBaselineTuningIfNeeded(const MouseTaskPointer& task, QList<MouseDevice> devices,
        qsizetype index, bool added, Done done);
    void applyDeviceSettings(const MouseTaskPointer& task, const MouseDevice& device,
        MouseTuningValues values, std::function<void(const SystemCommandResult&)> done);
    void resetScrollAcceleration(
        const MouseTaskPointer& task, QList<MouseDevice> devices, qsizetype index, Done done);
    void restoreSystemScrollDirectionToBaseline(const MouseTaskPointer& task, Done done);
    void loadBaselineTuningByDevice();
    void saveBaselineTuningByDevice();
    void storeBaseline(const MouseDevice& device, MouseTuningValues values);

    void refreshDevicesAsync(const MouseTaskPointer& task);
    void devicesRefreshed(const MouseTaskPointer& task, QList<MouseDevice> devices);
    void applyCurrentSettingsAsync(const MouseTaskPointer& task);
    void settingsApplied(const MouseTaskPointer& task);
    void refreshCurrentValuesFromSystemAsync(const MouseTaskPointer& task);
    void forceDisableScrollInversionAsync(const MouseTaskPointer& task);
    void resetAllSettingsAsync(const MouseTaskPointer& task);
    void resetBaselines(const MouseTaskPointer& task, qsizetype index, Done done);
    void finishReset();
    void updateConflictingApplications(const MouseTaskPointer& task, Done done);
    void terminateConflictingApplicationsAsync(const MouseTaskPointer& task);
    void startRefreshTimer();

    SystemCommandExecutor& m_executor;
    SerialSystemCommandExecutor m_deviceCommands;
    ScrollEventTap& m_tap;
    DefaultsStore& m_defaults;
    Scheduler& m_scheduler;
    MouseSystemTools m_tools;

    QList<MouseDevice> m_devices;
    std::optional<QString> m_selectedDeviceID;
    Setting<qint64> m_wheelSpeedLevel;
    Setting<bool> m_scrollInverted;
    Setting<qint64> m_cursorSpeedLevel;
    Setting<qint64> m_cursorAccelerationLevel;
    Setting<bool> m_scrollAccelerationEnabled;
    Setting<bool> m_mouseAdjustmentEnabled;
    std::optional<QString> m_statusMessage;
    QStringList m_conflictingApplications;

    bool m_softwareInversionActive = false;
    std::optional<QString> m_unavailableReason;
    bool m_requiresAccessibility = false;
    bool m_requiresInputMonitoring = false;
    QString m_modeDescription = QStringLiteral("inactive");
    qint64 m_observedScrollEventCount = 0;
    qint64 m_invertedScrollEventCount = 0;
    qint64 m_lastObservedScrollDelta = 0;
    bool m_tapInstalled = false;

    TimerHandle m_refreshTimer;
    MouseTaskPointer m_refreshDevicesTask;
    MouseTaskPointer m_applySettingsTask;
    MouseTaskPointer m_refreshValuesTask;
    MouseTaskPointer m_terminateConflictsTask;
    MouseTaskPointer m_forceDisableTask;
    MouseTaskPointer m_resetSettingsTask;
    QList<MouseTaskPointer> m_terminationTasks;
    bool m_isRefreshingValues = false;
    bool m_baselineSystemNaturalScrolling = true;
    std::optional<bool> m_preAdjustment;
    QHash<QString, MouseTuningValues> m_baselines;
};
