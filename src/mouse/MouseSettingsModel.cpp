#include "MouseSettingsModel.h"

#include "ScrollWheelTransform.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>
#include <cmath>

namespace {

const QString SelectedDeviceKey = QStringLiteral("feature.mouse.selectedDeviceID");
const QString NaturalScrollingBaselineKey =
    QStringLiteral("feature.mouse.systemNaturalScrollingBaseline");
const QString PreAdjustmentKey =
    QStringLiteral("feature.mouse.preAdjustmentSystemNaturalScrolling");
const QString BaselinesKey = QStringLiteral("feature.mouse.baselineTuningByDevice");
const QString MouseAcceleration = QStringLiteral("HIDMouseAcceleration");
const QString PointerAcceleration = QStringLiteral("HIDPointerAcceleration");
const QString Selected = QStringLiteral("選択中: ");
const QStringList ProcessPatterns {QStringLiteral("SteerMouse"),
    QStringLiteral("LogiPluginService"), QStringLiteral("Logi Options"), QStringLiteral("imwheel")};
const QStringList KillPatterns {
    QStringLiteral("SteerMouse"), QStringLiteral("LogiPluginService"), QStringLiteral("imwheel")};
// The process lister cuts names to this many characters.
constexpr qsizetype ProcessNameLength = 15;

QStringList sortedUnique(QStringList names)
{
    names.removeDuplicates();
    names.sort();
    return names;
}

bool matchesConflictPattern(const QString& name)
{
    const QString lower = name.toLower();
    for (const QString& pattern : ProcessPatterns) {
        const QString wanted = pattern.toLower();
        if (lower.contains(wanted) ||
            (lower.size() == ProcessNameLength && wanted.startsWith(lower))) {
            return true;
        }
    }
    return false;
}

} // namespace

MouseSettingsModel::MouseSettingsModel(SystemCommandExecutor& executor, ScrollEventTap& tap,
    DefaultsStore& defaults, Scheduler& scheduler, MouseSystemTools tools, QObject* parent)
    : QObject(parent)
    , m_executor(executor)
    , m_deviceCommands(executor)
    , m_tap(tap)
    , m_defaults(defaults)
    , m_scheduler(scheduler)
    , m_tools(std::move(tools))
    , m_wheelSpeedLevel(defaults, QStringLiteral("feature.mouse.wheelSpeedLevel"), 5,
          {.normalize = Setting<qint64>::clampedTo(1, 20)})
    , m_scrollInverted(defaults, QStringLiteral("feature.mouse.scrollInverted"), false)
    , m_cursorSpeedLevel(defaults, QStringLiteral("feature.mouse.cursorSpeedLevel"), 5,
          {.normalize = Setting<qint64>::clampedTo(1, 20)})
    , m_cursorAccelerationLevel(defaults, QStringLiteral("feature.mouse.cursorAccelerationLevel"),
          5, {.normalize = Setting<qint64>::clampedTo(0, 20)})
    , m_scrollAccelerationEnabled(
          defaults, QStringLiteral("feature.mouse.scrollAccelerationEnabled"), true)
    , m_mouseAdjustmentEnabled(
          defaults, QStringLiteral("feature.mouse.mouseAdjustmentEnabled"), false)
{
    if (!m_defaults.contains(NaturalScrollingBaselineKey)) {
        m_defaults.set(NaturalScrollingBaselineKey, m_tools.readNaturalScrolling());
    }
    m_baselineSystemNaturalScrolling =
        m_defaults.boolValue(NaturalScrollingBaselineKey).value_or(true);
    m_preAdjustment = m_defaults.boolValue(PreAdjustmentKey);
    loadBaselineTuningByDevice();
    for (auto* setting : {&m_wheelSpeedLevel, &m_cursorSpeedLevel, &m_cursorAccelerationLevel}) {
        setting->registerDefault();
    }
    for (auto* setting :
        {&m_scrollInverted, &m_scrollAccelerationEnabled, &m_mouseAdjustmentEnabled}) {
        setting->registerDefault();
    }
    m_selectedDeviceID = m_defaults.stringValue(SelectedDeviceKey);
    for (auto* setting : {&m_wheelSpeedLevel, &m_cursorSpeedLevel, &m_cursorAccelerationLevel}) {
        setting->load();
    }
    for (auto* setting :
        {&m_scrollInverted, &m_scrollAccelerationEnabled, &m_mouseAdjustmentEnabled}) {
        setting->load();
    }
    if (!mouseAdjustmentEnabled()) {
        m_statusMessage = QStringLiteral("マウス調整: オフ");
        return;
    }
    startRefreshTimer();
    scheduleRefreshDevices();
    scheduleApplyCurrentSettings();
}

MouseSettingsModel::~MouseSettingsModel()
{
    for (MouseTaskPointer* slot :
        {&m_refreshDevicesTask, &m_applySettingsTask, &m_refreshValuesTask,
            &m_terminateConflictsTask, &m_forceDisableTask, &m_resetSettingsTask}) {
        if (*slot) {
            (*slot)->cancel();
        }
    }
    for (const MouseTaskPointer& task : std::as_const(m_terminationTasks)) {
        task->cancel();
    }
    if (m_tapInstalled) {
        m_tap.remove();
    }
}

qint64 MouseSettingsModel::levelFromValue(qint64 value, qint64 factor, qint64 minimum)
{
    const double level = std::round(std::abs(double(value)) / double(factor));
    return qint64(std::clamp(level, double(minimum), 20.0));
}

std::optional<qint64> MouseSettingsModel::parseNumericProperty(const QString& output)
{
    static const QRegularExpression Blank(QStringLiteral("[ \t]+"));
    static const QRegularExpression Integer(QStringLiteral("^[+-]?[0-9]+$"));
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.contains(QLatin1String("RegistryID"))) {
            continue;
        }
        const QStringList words = line.split(Blank, Qt::SkipEmptyParts);
        if (words.isEmpty() || !Integer.match(words.last()).hasMatch()) {
            continue;
        }
        bool ok = false;
        const qint64 value = words.last().toLongLong(&ok);
        if (ok) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<MouseDevice> MouseSettingsModel::selectedDevice() const
{
    if (!m_selectedDeviceID) {
        return std::nullopt;
    }
    for (const MouseDevice& device : m_devices) {
        if (device.id() == *m_selectedDeviceID) {
            return device;
        }
    }
    return std::nullopt;
}

void MouseSettingsModel::setStatusMessage(const std::optional<QString>& message)
{
    if (m_statusMessage != message) {
        m_statusMessage = message;
        Q_EMIT statusMessageChanged();
    }
}

// --- Settings and their change handling ---

void MouseSettingsModel::setSelectedDeviceID(const std::optional<QString>& id)
{
    setSelectedDeviceIDWithHandler(id);
}

void MouseSettingsModel::setSelectedDeviceIDWithHandler(const std::optional<QString>& id)
{
    const bool changed = m_selectedDeviceID != id;
    m_selectedDeviceID = id;
    if (changed) {
        Q_EMIT selectedDeviceIDChanged();
    }
    if (m_isRefreshingValues) {
        return;
    }
    if (id) {
        m_defaults.set(SelectedDeviceKey, *id);
    } else {
        m_defaults.remove(SelectedDeviceKey);
    }
    if (mouseAdjustmentEnabled()) {
        scheduleApplyCurrentSettings();
    }
    scheduleRefreshCurrentValuesFromSystem();
}

void MouseSettingsModel::setLevel(Setting<qint64>& setting, qint64 level, qint64 minimum,
    void (MouseSettingsModel::*changed)(qint64))
{
    if (setting.set(std::clamp<qint64>(level, minimum, 20))) {
        Q_EMIT(this->*changed)(setting.value());
    }
    if (mouseAdjustmentEnabled()) {
        scheduleApplyCurrentSettings();
    }
}

void MouseSettingsModel::setWheelSpeedLevel(qint64 level)
{
    setLevel(m_wheelSpeedLevel, level, 1, &MouseSettingsModel::wheelSpeedLevelChanged);
}

void MouseSettingsModel::setCursorSpeedLevel(qint64 level)
{
    setLevel(m_cursorSpeedLevel, level, 1, &MouseSettingsModel::cursorSpeedLevelChanged);
}

void MouseSettingsModel::setCursorAccelerationLevel(qint64 level)
{
    setLevel(
        m_cursorAccelerationLevel, level, 0, &MouseSettingsModel::cursorAccelerationLevelChanged);
}

void MouseSettingsModel::setScrollInverted(bool inverted)
{
    if (m_scrollInverted.set(inverted)) {
        Q_EMIT scrollInvertedChanged(inverted);
    }
    if (!mouseAdjustmentEnabled()) {
        return;
    }
    m_unavailableReason.reset();
    if (needsSoftwareScrollProcessing()) {
        startSoftwareScrollInversion();
    } else {
        stopSoftwareScrollInversion();
    }
    scheduleApplyCurrentSettings();
}

void MouseSettingsModel::setScrollAccelerationEnabled(bool enabled)
{
    if (m_scrollAccelerationEnabled.set(enabled)) {
        Q_EMIT scrollAccelerationEnabledChanged(enabled);
    }
    if (mouseAdjustmentEnabled()) {
        scheduleApplyCurrentSettings();
    }
}

void MouseSettingsModel::mouseAdjustmentEnabledDidChange()
{
    if (mouseAdjustmentEnabled()) {
        startRefreshTimer();
        scheduleRefreshDevices();
    } else {
        m_refreshTimer.cancel();
    }
    scheduleApplyCurrentSettings();
}

void MouseSettingsModel::setMouseAdjustmentEnabled(bool enabled)
{
    if (enabled == mouseAdjustmentEnabled()) {
        return;
    }
    if (enabled) {
        m_preAdjustment = m_tools.readNaturalScrolling();
        m_defaults.set(PreAdjustmentKey, *m_preAdjustment);
    }
    m_mouseAdjustmentEnabled.set(enabled);
    Q_EMIT mouseAdjustmentEnabledChanged(enabled);
    mouseAdjustmentEnabledDidChange();
    if (!enabled) {
        scheduleForceDisableScrollInversion();
    }
}

void MouseSettingsModel::startRefreshTimer()
{
    if (m_refreshTimer.isActive()) {
        return;
    }
    m_refreshTimer = m_scheduler.repeating(refreshInterval, [this] {
        if (mouseAdjustmentEnabled()) {
            scheduleRefreshDevices();
        }
    });
}

// --- The scroll tap ---

bool MouseSettingsModel::needsSoftwareScrollProcessing() const
{
    return mouseAdjustmentEnabled() && (scrollInverted() || wheelSpeedLevel() != 1);
}

void MouseSettingsModel::setSoftwareInversionState(bool active, const QString& mode,
    const std::optional<QString>& reason, bool accessibility, bool inputMonitoring)
{
    m_softwareInversionActive = active;
    m_modeDescription = mode;
    m_unavailableReason = reason;
    m_requiresAccessibility = accessibility;
    m_requiresInputMonitoring = inputMonitoring;
    Q_EMIT softwareInversionChanged();
}

void MouseSettingsModel::startSoftwareScrollInversion()
{
    const QString disabled = QStringLiteral("スクロール処理フォールバックが無効です");
    m_tap.setDevice(selectedTapDevice());
    if (m_tapInstalled) {
        m_softwareInversionActive = true;
        m_modeDescription = QStringLiteral("active (reused)");
        Q_EMIT softwareInversionChanged();
        return;
    }
    const ScrollEventTap::Access access = m_tap.access();
    if (!access.inputMonitoring) {
        m_tap.requestInputMonitoringAccess();
    }
    if (!access.inputMonitoring || !access.accessibility) {
        const QString reason = !access.accessibility
            ? QStringLiteral("スクロール処理フォールバックが無効です（アクセシビリティ権限が必要）")
            : QStringLiteral("スクロール処理フォールバックが無効です（入力監視権限が必要）");
        setSoftwareInversionState(false, QStringLiteral("permission missing"), reason,
            !access.accessibility, !access.inputMonitoring);
        return;
    }
    const auto handler = [this](const ScrollWheelEvent& event) {
        return handleScrollEvent(event);
    };
    for (const auto& [location, mode] :
        {std::pair {ScrollEventTap::Location::Hid, QStringLiteral("active (cghid)")},
            std::pair {ScrollEventTap::Location::Session, QStringLiteral("active (session)")}}) {
        if (m_tap.install(location, handler)) {
            m_tapInstalled = true;
            setSoftwareInversionState(true, mode, std::nullopt, false, false);
            return;
        }
    }
    setSoftwareInversionState(false, QStringLiteral("tap create failed"), disabled, false, false);
}

// The stored selection, known before the first device refresh has listed it.
std::optional<ScrollEventTap::Device> MouseSettingsModel::selectedTapDevice() const
{
    const QStringList parts = m_selectedDeviceID.value_or(QString()).split(QLatin1Char(':'));
    if (parts.size() != 3) {
        return std::nullopt;
    }
    std::array<qint64, 3> numbers {};
    for (std::size_t index = 0; index < numbers.size(); ++index) {
        bool ok = false;
        numbers[index] = parts[qsizetype(index)].toLongLong(&ok);
        if (!ok) {
            return std::nullopt;
        }
    }
    return ScrollEventTap::Device {numbers[0], numbers[1], numbers[2]};
}

void MouseSettingsModel::stopSoftwareScrollInversion()
{
    if (m_tapInstalled) {
        m_tap.remove();
        m_tapInstalled = false;
    }
    setSoftwareInversionState(false, QStringLiteral("inactive"), std::nullopt, false, false);
}

void MouseSettingsModel::resetSoftwareInversionDiagnostics()
{
    m_observedScrollEventCount = 0;
    m_invertedScrollEventCount = 0;
    m_lastObservedScrollDelta = 0;
    Q_EMIT softwareInversionChanged();
}

bool MouseSettingsModel::runtimeBool(const Setting<bool>& setting) const
{
    return m_defaults.boolValue(setting.key()).value_or(setting.value());
}

std::optional<ScrollWheelEvent> MouseSettingsModel::handleScrollEvent(const ScrollWheelEvent& event)
{
    ++m_observedScrollEventCount;
    const ScrollWheelSettings settings {runtimeBool(m_mouseAdjustmentEnabled),
        int(std::clamp<qint64>(
            m_defaults.integerValue(m_wheelSpeedLevel.key()).value_or(0), -1, 1000)),
        runtimeBool(m_scrollInverted), runtimeBool(m_scrollAccelerationEnabled)};
    if (!ScrollWheelTransform::rewrites(event, settings)) {
        Q_EMIT softwareInversionChanged();
        return std::nullopt;
    }
    if (event.lineDeltas[0] != 0) {
        m_lastObservedScrollDelta = event.lineDeltas[0];
    }
    const std::optional<ScrollWheelEvent> replacement =
        ScrollWheelTransform::replacement(event, settings);
    ++m_invertedScrollEventCount;
    m_modeDescription = QStringLiteral("active (repost-session)");
    Q_EMIT softwareInversionChanged();
    return replacement;
}

// --- Task slots ---

MouseTaskPointer MouseSettingsModel::restart(MouseTaskPointer& slot)
{
    if (slot) {
        slot->cancel();
    }
    slot = std::make_shared<MouseCommandTask>(m_executor, m_deviceCommands);
    return slot;
}

void MouseSettingsModel::start(
    const MouseTaskPointer& task, void (MouseSettingsModel::*job)(const MouseTaskPointer&))
{
    // Like any new job, it runs on a later turn of the main loop, so a job replaced in the same
    // turn never starts a tool.
    m_scheduler.post([this, task, job] {
        if (!task->isCancelled()) {
            (this->*job)(task);
        }
    });
}

void MouseSettingsModel::scheduleRefreshDevices()
{
    start(restart(m_refreshDevicesTask), &MouseSettingsModel::refreshDevicesAsync);
}

void MouseSettingsModel::scheduleApplyCurrentSettings()
{
    start(restart(m_applySettingsTask), &MouseSettingsModel::applyCurrentSettingsAsync);
}

void MouseSettingsModel::scheduleRefreshCurrentValuesFromSystem()
{
    start(restart(m_refreshValuesTask), &MouseSettingsModel::refreshCurrentValuesFromSystemAsync);
}

void MouseSettingsModel::scheduleForceDisableScrollInversion()
{
    start(restart(m_forceDisableTask), &MouseSettingsModel::forceDisableScrollInversionAsync);
}

void MouseSettingsModel::scheduleTerminateConflictingApplications()
{
    start(restart(m_terminateConflictsTask),
        &MouseSettingsModel::terminateConflictingApplicationsAsync);
}

void MouseSettingsModel::resetAllSettings()
{
    start(restart(m_resetSettingsTask), &MouseSettingsModel::resetAllSettingsAsync);
}

void MouseSettingsModel::prepareForApplicationTermination()
{
    if (!mouseAdjustmentEnabled() && !m_tapInstalled && !m_preAdjustment) {
        return;
    }
    if (m_forceDisableTask) {
        m_forceDisableTask->cancel();
    }
    auto task = std::make_shared<MouseCommandTask>(m_executor, m_deviceCommands);
    m_terminationTasks.append(task);
    // Not posted like other jobs: the application quits after the main loop has stopped, so a
    // posted job would never run. Starting it now hands its first tool run to the executor,
    // which finishes it while the application shuts down.
    forceDisableScrollInversionAsync(task);
}

// --- Tool runs ---

QStringList MouseSettingsModel::hidUtility(const QStringList& arguments) const
{
    return QStringList {m_tools.hidUtility} + arguments;
}

QStringList MouseSettingsModel::propertyCommand(
    const MouseDevice& device, const QString& option, const QString& value) const
{
    return hidUtility({QStringLiteral("property"), QStringLiteral("--matching"),
        device.matchingJSON(), option, value});
}

void MouseSettingsModel::readNumericProperty(const MouseTaskPointer& task, const QString& key,
    const MouseDevice& device, std::function<void(std::optional<qint64>, QString)> done)
{
    task->runOnDevice(propertyCommand(device, QStringLiteral("--get"), key),
        [key, done = std::move(done)](const SystemCommandResult& result) {
            if (!result.isSuccess()) {
                done(std::nullopt, result.errorDescription());
                return;
            }
            const std::optional<qint64> value = parseNumericProperty(result.text());
            done(value,
                value ? QString()
                      : SystemCommandError::parseFailed(
                            key + QStringLiteral(" の取得結果を解釈できません"))
                            .errorDescription());
        });
}

void MouseSettingsModel::readTuning(
    const MouseTaskPointer& task, const MouseDevice& device, TuningDone done)
{
    readNumericProperty(task, MouseAcceleration, device,
        [this, task, device, done](std::optional<qint64> mouse, const QString& error) {
            if (!mouse) {
                done(std::nullopt, error);
                return;
            }
            readNumericProperty(task, PointerAcceleration, device,
                [mouse, done](std::optional<qint64> pointer, const QString& error) {
                    done(pointer ? std::optional(MouseTuningValues {*mouse, *pointer})
                                 : std::nullopt,
                        error);
                });
        });
}

void MouseSettingsModel::baselineTuning(
    const MouseTaskPointer& task, const MouseDevice& device, TuningDone done)
{
    if (const auto found = m_baselines.constFind(device.id()); found != m_baselines.constEnd()) {
        done(*found, QString());
        return;
    }
    readTuning(task, device, [this, device, done](auto values, const QString& error) {
        if (values) {
            storeBaseline(device, *values);
            saveBaselineTuningByDevice();
        }
        done(values, error);
    });
}

void MouseSettingsModel::storeBaseline(const MouseDevice& device, MouseTuningValues values)
{
    m_baselines.insert(device.id(), values);
}

void MouseSettingsModel::captureBaselineTuningIfNeeded(const MouseTaskPointer& task,
    QList<MouseDevice> devices, qsizetype index, bool added, Done done)
{
    while (index < devices.size() && m_baselines.contains(devices[index].id())) {
        ++index;
    }
    if (index == devices.size()) {
        if (added) {
            saveBaselineTuningByDevice();
        }
        done();
        return;
    }
    const MouseDevice device = devices[index];
    readTuning(task, device,
        [this, task, devices, index, added, device, done](auto values, const QString&) {
            if (values && !m_baselines.contains(device.id())) {
                storeBaseline(device, *values);
            }
            captureBaselineTuningIfNeeded(
                task, devices, index + 1, added || values.has_value(), done);
        });
}

void MouseSettingsModel::applyDeviceSettings(const MouseTaskPointer& task,
    const MouseDevice& device, MouseTuningValues values,
    std::function<void(const SystemCommandResult&)> done)
{
    task->runOnDevice(
        propertyCommand(device, QStringLiteral("--set"),
            QStringLiteral("{\"HIDMouseAcceleration\":%1,\"HIDPointerAcceleration\":%2}")
                .arg(values.mouse)
                .arg(values.pointer)),
        std::move(done));
}

void MouseSettingsModel::resetScrollAcceleration(
    const MouseTaskPointer& task, QList<MouseDevice> devices, qsizetype index, Done done)
{
    if (index >= devices.size()) {
        done();
        return;
    }
    task->runOnDevice(
        propertyCommand(devices[index], QStringLiteral("--set"),
            QStringLiteral("{\"HIDScrollAcceleration\":0,\"HIDMouseScrollAcceleration\":0}")),
        [this, task, devices, index, done](const SystemCommandResult&) {
            resetScrollAcceleration(task, devices, index + 1, done);
        });
}

void MouseSettingsModel::restoreSystemScrollDirectionToBaseline(
    const MouseTaskPointer& task, Done done)
{
    const bool natural = m_preAdjustment.value_or(m_baselineSystemNaturalScrolling);
    const auto restored = [this] {
        m_preAdjustment.reset();
        m_defaults.remove(PreAdjustmentKey);
    };
    const std::optional<QStringList> command = m_tools.naturalScrollingCommand(natural);
    if (!command) {
        restored();
        done();
        return;
    }
    task->run(*command, [restored, done](const SystemCommandResult& result) {
        if (result.isSuccess()) {
            restored();
        }
        done();
    });
}

void MouseSettingsModel::loadBaselineTuningByDevice()
{
    m_baselines.clear();
    const QJsonObject map =
        QJsonDocument::fromJson(m_defaults.dataValue(BaselinesKey).value_or(QByteArray())).object();
    for (auto it = map.begin(); it != map.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        const QJsonValue mouse = entry.value(QLatin1String("mouse"));
        const QJsonValue pointer = entry.value(QLatin1String("pointer"));
        if (!mouse.isDouble() || !pointer.isDouble()) {
            m_baselines.clear();
            return;
        }
        m_baselines.insert(it.key(), {mouse.toInteger(), pointer.toInteger()});
    }
}

void MouseSettingsModel::saveBaselineTuningByDevice()
{
    QJsonObject map;
    for (auto it = m_baselines.cbegin(); it != m_baselines.cend(); ++it) {
        map.insert(it.key(),
            QJsonObject {{QStringLiteral("mouse"), it.value().mouse},
                {QStringLiteral("pointer"), it.value().pointer}});
    }
    m_defaults.set(BaselinesKey, QJsonDocument(map).toJson(QJsonDocument::Compact));
}

// --- Device refresh ---

void MouseSettingsModel::refreshDevicesAsync(const MouseTaskPointer& task)
{
    updateConflictingApplications(task, [this, task] {
        task->run(hidUtility({QStringLiteral("list"), QStringLiteral("--matching"),
                      QStringLiteral("mouse"), QStringLiteral("--ndjson")}),
            [this, task](const SystemCommandResult& result) {
                if (!result.isSuccess()) {
                    setStatusMessage(QStringLiteral("マウス一覧を取得できませんでした: ") +
                        result.errorDescription());
                    Q_EMIT devicesRefreshFinished(false);
                    return;
                }
                devicesRefreshed(task, MouseDevice::parseDevices(result.text()));
            });
    });
}

void MouseSettingsModel::devicesRefreshed(const MouseTaskPointer& task, QList<MouseDevice> devices)
{
    const bool selectionWasMissing = m_selectedDeviceID && !selectedDevice();
    captureBaselineTuningIfNeeded(
        task, devices, 0, false, [this, task, devices, selectionWasMissing] {
            if (task->isCancelled()) {
                return;
            }
            m_devices = devices;
            Q_EMIT devicesChanged();
            if (selectionWasMissing && mouseAdjustmentEnabled()) {
                scheduleApplyCurrentSettings();
            }
            if (const std::optional<MouseDevice> selected = selectedDevice()) {
                setStatusMessage(Selected + selected->displayName());
            } else if (!m_devices.isEmpty()) {
                const MouseDevice first = m_devices.first();
                setSelectedDeviceIDWithHandler(first.id());
                m_defaults.set(SelectedDeviceKey, first.id());
                setStatusMessage(Selected + first.displayName());
            } else {
                setSelectedDeviceIDWithHandler(std::nullopt);
                setStatusMessage(QStringLiteral("マウスが見つかりません"));
            }
            Q_EMIT devicesRefreshFinished(true);
        });
}

// --- Applying the settings ---

void MouseSettingsModel::applyCurrentSettingsAsync(const MouseTaskPointer& task)
{
    m_unavailableReason.reset();
    if (needsSoftwareScrollProcessing()) {
        startSoftwareScrollInversion();
    } else {
        stopSoftwareScrollInversion();
    }
    const std::optional<MouseDevice> device = selectedDevice();
    if (!device) {
        return;
    }
    const auto applied = [this, task](const SystemCommandResult& result) {
        if (!result.isSuccess()) {
            setStatusMessage(
                QStringLiteral("設定の適用に失敗しました: ") + result.errorDescription());
            return;
        }
        updateConflictingApplications(task, [this, task] { settingsApplied(task); });
    };
    if (mouseAdjustmentEnabled()) {
        applyDeviceSettings(task, *device,
            {cursorAccelerationLevel() * mouseFactor, cursorSpeedLevel() * pointerFactor}, applied);
        return;
    }
    baselineTuning(
        task, *device, [this, task, device, applied](auto baseline, const QString& error) {
            if (!baseline) {
                setStatusMessage(QStringLiteral("設定の適用に失敗しました: ") + error);
                return;
            }
            applyDeviceSettings(task, *device, *baseline, applied);
        });
}

void MouseSettingsModel::settingsApplied(const MouseTaskPointer& task)
{
    if (task->isCancelled()) {
        return;
    }
    QStringList notes;
    if (!m_conflictingApplications.isEmpty()) {
        notes << QStringLiteral("競合アプリが上書きする可能性があります: ") +
                m_conflictingApplications.join(QLatin1String(", "));
    }
    if (mouseAdjustmentEnabled() && scrollInverted() && !m_softwareInversionActive) {
        if (m_requiresAccessibility) {
            notes << QStringLiteral("反転フォールバックはアクセシビリティ権限が必要です");
        }
        if (m_requiresInputMonitoring) {
            notes << QStringLiteral("反転フォールバックは入力監視権限が必要です");
        }
        if (!m_requiresAccessibility && !m_requiresInputMonitoring) {
            notes << QStringLiteral("反転フォールバックを開始できませんでした");
        }
    }
    if (!notes.isEmpty()) {
        setStatusMessage(QStringLiteral("設定を適用しました: ") + notes.join(QLatin1String(" / ")));
    } else if (!mouseAdjustmentEnabled()) {
        setStatusMessage(QStringLiteral("マウス調整を無効化しました"));
    } else {
        setStatusMessage(std::nullopt);
    }
}

void MouseSettingsModel::refreshCurrentValuesFromSystemAsync(const MouseTaskPointer& task)
{
    const std::optional<MouseDevice> device = selectedDevice();
    if (!device) {
        return;
    }
    readTuning(task, *device, [this, task, device](auto values, const QString& error) {
        if (!values) {
            m_isRefreshingValues = false;
            setStatusMessage(QStringLiteral("現在の設定を取得できませんでした: ") + error);
            return;
        }
        if (!m_baselines.contains(device->id())) {
            storeBaseline(*device, *values);
            saveBaselineTuningByDevice();
        }
        m_isRefreshingValues = true;
        setCursorSpeedLevel(levelFromValue(values->pointer, pointerFactor, 1));
        setCursorAccelerationLevel(levelFromValue(values->mouse, mouseFactor, 0));
        m_isRefreshingValues = false;
        for (Setting<qint64>* setting :
            {&m_wheelSpeedLevel, &m_cursorSpeedLevel, &m_cursorAccelerationLevel}) {
            m_defaults.set(setting->key(), setting->value());
        }
        setStatusMessage(Selected + device->displayName());
    });
}

// --- Switching off, resetting ---

void MouseSettingsModel::forceDisableScrollInversionAsync(const MouseTaskPointer& task)
{
    stopSoftwareScrollInversion();
    restoreSystemScrollDirectionToBaseline(
        task, [this, task] { resetScrollAcceleration(task, m_devices, 0, [] {}); });
}

void MouseSettingsModel::resetAllSettingsAsync(const MouseTaskPointer& task)
{
    for (const MouseTaskPointer& slot :
        {m_applySettingsTask, m_refreshValuesTask, m_forceDisableTask}) {
        if (slot) {
            slot->cancel();
        }
    }
    stopSoftwareScrollInversion();
    restoreSystemScrollDirectionToBaseline(
        task, [this, task] { resetBaselines(task, 0, [this] { finishReset(); }); });
}

void MouseSettingsModel::resetBaselines(const MouseTaskPointer& task, qsizetype index, Done done)
{
    if (index >= m_devices.size()) {
        done();
        return;
    }
    const MouseDevice device = m_devices[index];
    const auto next = [this, task, device, index, done](const SystemCommandResult&) {
        resetScrollAcceleration(task, {device}, 0,
            [this, task, index, done] { resetBaselines(task, index + 1, done); });
    };
    const auto baseline = m_baselines.constFind(device.id());
    if (baseline == m_baselines.constEnd()) {
        next(SystemCommandResult::success(QString()));
        return;
    }
    applyDeviceSettings(task, device, *baseline, next);
}

void MouseSettingsModel::finishReset()
{
    m_isRefreshingValues = true;
    setSelectedDeviceIDWithHandler(std::nullopt);
    setWheelSpeedLevel(5);
    setScrollInverted(false);
    setCursorSpeedLevel(5);
    setCursorAccelerationLevel(5);
    setScrollAccelerationEnabled(true);
    if (m_mouseAdjustmentEnabled.set(false)) {
        Q_EMIT mouseAdjustmentEnabledChanged(false);
    }
    mouseAdjustmentEnabledDidChange();
    m_isRefreshingValues = false;
    m_defaults.remove(SelectedDeviceKey);
    m_wheelSpeedLevel.set(5);
    m_scrollInverted.set(false);
    m_cursorSpeedLevel.set(5);
    m_cursorAccelerationLevel.set(5);
    m_scrollAccelerationEnabled.set(true);
    m_mouseAdjustmentEnabled.set(false);
    m_defaults.remove(PreAdjustmentKey);
    resetSoftwareInversionDiagnostics();
    setStatusMessage(QStringLiteral("マウス調整の設定をリセットしました"));
    scheduleRefreshDevices();
}

// --- Conflicting applications ---

void MouseSettingsModel::updateConflictingApplications(const MouseTaskPointer& task, Done done)
{
    task->run({m_tools.processLister, QStringLiteral("-axo"), QStringLiteral("comm")},
        [this, done](const SystemCommandResult& result) {
            QStringList names;
            const QStringList lines = result.isSuccess()
                ? result.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                : QStringList();
            for (const QString& line : lines) {
                const QString path = line.trimmed();
                const QString name =
                    path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
                if (!name.isEmpty() && matchesConflictPattern(name)) {
                    names << name;
                }
            }
            names = sortedUnique(names);
            if (names != m_conflictingApplications) {
                m_conflictingApplications = names;
                Q_EMIT conflictingApplicationsChanged();
            }
            done();
        });
}

void MouseSettingsModel::terminateConflictingApplicationsAsync(const MouseTaskPointer& task)
{
    auto kill = std::make_shared<std::function<void(qsizetype)>>();
    *kill = [this, task, kill](qsizetype index) {
        if (index >= KillPatterns.size()) {
            updateConflictingApplications(task, [this] {
                setStatusMessage(m_conflictingApplications.isEmpty()
                        ? QStringLiteral("競合アプリを終了しました。反転設定を再適用してください")
                        : QStringLiteral("一部の競合アプリを終了できませんでした: ") +
                            m_conflictingApplications.join(QLatin1String(", ")));
            });
            *kill = {};
            return;
        }
        task->run({m_tools.processKiller, QStringLiteral("-f"), KillPatterns[index]},
            [kill, index](const SystemCommandResult&) {
                if (*kill) {
                    (*kill)(index + 1);
                }
            });
    };
    (*kill)(0);
}
