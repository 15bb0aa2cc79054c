#include "WindowPlacementModel.h"

#include "WindowPlacementRuleList.h"

#include <QScopeGuard>
#include <QStringBuilder>

namespace {

const QString InitialTask = QStringLiteral("__initial");
const QString WakeTask = QStringLiteral("__wake");

constexpr int StartupRounds = 10;
constexpr double StartupRoundPause = 1.0;
constexpr int Attempts = 8;
constexpr double AttemptPause = 0.45;
constexpr double SettleDelay = 1.0;
constexpr double WakeDelay = 0.7;
constexpr double StartupRerunWindow = 30.0;

QString offStatus()
{
    return QStringLiteral("ウィンドウ固定: オフ");
}

QString placed(const QString& prefix, int count)
{
    return prefix % QString::number(count) % QStringLiteral("件のウィンドウ位置を適用しました");
}

QRectF rectOf(const WindowRect& frame)
{
    return QRectF(frame.x, frame.y, frame.width, frame.height);
}

} // namespace

WindowPlacementModel::WindowPlacementModel(
    Services services, std::optional<QString> ownBundleIdentifier, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_ownBundleIdentifier(std::move(ownBundleIdentifier))
    , m_access(services.windows)
    , m_store(services.defaults)
    , m_enabled(services.defaults, QStringLiteral("feature.windowPlacement.enabled"), false)
    , m_reapplyOnWake(
          services.defaults, QStringLiteral("feature.windowPlacement.reapplyOnWake.enabled"), false)
    , m_frequentStartup(services.defaults,
          QStringLiteral("feature.windowPlacement.frequentStartupReapply.enabled"), true)
{
    m_startedAt = m_services.scheduler.uptime();
    m_enabled.load();
    m_reapplyOnWake.load();
    m_frequentStartup.registerDefault();
    m_frequentStartup.load();
    setApplyShortcut(m_store.loadApplyShortcut());

    const WindowPlacementRuleStore::Loaded loaded = m_store.load();
    m_rules = loaded.rules;
    if (loaded.needsRewrite) {
        saveRules();
    }
    refresh();

    connect(&m_services.displays, &Displays::displaysChanged, this,
        [this] { scheduleRefreshAfterScreenConfigurationChange(); });
    updateWakeMonitoring();
    if (!windowPlacementEnabled()) {
        setStatus(offStatus());
    } else {
        startMonitoringLaunchedApplications();
        scheduleInitialApplyIfNeeded();
    }
    if (loaded.keptUnreadable) {
        setStatus(WindowPlacementRuleStore::unreadableNotice());
    }
}

WindowPlacementModel::~WindowPlacementModel() = default;

QList<WindowPlacementRule> WindowPlacementModel::rulesForCurrentMonitor() const
{
    return WindowPlacementRuleList::forMonitor(m_rules, m_monitor.signature);
}

void WindowPlacementModel::setSelectedAvailableWindowID(const std::optional<QString>& id)
{
    m_selectedWindowID = id;
}

void WindowPlacementModel::setStatus(const QString& message)
{
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}

void WindowPlacementModel::setRequiresPermission(bool required)
{
    m_requiresPermission = required;
}

bool WindowPlacementModel::isTrusted(bool prompt)
{
    return m_services.windows.isTrusted(prompt);
}

void WindowPlacementModel::refreshMonitorConfiguration()
{
    const MonitorConfiguration current =
        monitorConfiguration(monitorDescriptors(m_services.displays.displays()));
    if (current.signature != m_monitor.signature || current.description != m_monitor.description) {
        m_monitor = current;
        Q_EMIT monitorConfigurationChanged();
    }
}

void WindowPlacementModel::refreshAvailableWindows()
{
    m_availableWindows = m_access.captureAvailableWindows(m_ownBundleIdentifier);
    if (m_selectedWindowID &&
        std::none_of(m_availableWindows.cbegin(), m_availableWindows.cend(),
            [this](const RunningWindowSnapshot& window) {
                return window.id == *m_selectedWindowID;
            })) {
        m_selectedWindowID.reset();
    }
    Q_EMIT availableWindowsChanged();
}

void WindowPlacementModel::refresh()
{
    refreshMonitorConfiguration();
    refreshAvailableWindows();
    setRequiresPermission(!isTrusted(false));
    if (!windowPlacementEnabled()) {
        setStatus(offStatus());
    } else if (m_requiresPermission) {
        setStatus(QStringLiteral("ウィンドウ固定の適用にはアクセシビリティ権限が必要です"));
    } else {
        setStatus(QStringLiteral("この構成の登録数: ") +
            QString::number(rulesForCurrentMonitor().size()));
    }
}

void WindowPlacementModel::saveRules()
{
    m_store.save(m_rules);
    Q_EMIT rulesChanged();
}

int WindowPlacementModel::ruleCount(const QString& bundleIdentifier) const
{
    const QList<WindowPlacementRule> current = rulesForCurrentMonitor();
    return static_cast<int>(
        std::count_if(current.cbegin(), current.cend(), [&](const WindowPlacementRule& rule) {
            return rule.appBundleIdentifier == bundleIdentifier;
        }));
}

int WindowPlacementModel::applyRules(const std::optional<QString>& bundleIdentifier)
{
    if (m_screenConfigurationChanging) {
        return 0;
    }
    QList<WindowPlacementRule> taken = rulesForCurrentMonitor();
    if (bundleIdentifier) {
        taken.removeIf([&](const WindowPlacementRule& rule) {
            return rule.appBundleIdentifier != *bundleIdentifier;
        });
    }
    if (taken.isEmpty()) {
        return 0;
    }
    QHash<QString, int> rulesPerBundle;
    for (const WindowPlacementRule& rule : std::as_const(taken)) {
        ++rulesPerBundle[rule.appBundleIdentifier];
    }
    m_services.windows.beginPass();
    const auto endPass = qScopeGuard([this] { m_services.windows.endPass(); });
    const QList<ApplicationRecord> applications = m_services.windows.runningApplications();
    QHash<QString, QList<WindowElement>> placedPerBundle;
    int count = 0;
    for (const WindowPlacementRule& rule : std::as_const(taken)) {
        const auto application = std::find_if(
            applications.cbegin(), applications.cend(), [&](const ApplicationRecord& candidate) {
                return candidate.bundleIdentifier == rule.appBundleIdentifier &&
                    !candidate.isTerminated;
            });
        if (application == applications.cend()) {
            continue;
        }
        QList<WindowElement>& placedWindows = placedPerBundle[rule.appBundleIdentifier];
        const QRectF target = rectOf(rule.targetFrame);
        const std::optional<WindowElement> window =
            m_access.findBestMatchingWindow(application->processIdentifier, rule.windowTitle,
                target, placedWindows, rulesPerBundle.value(rule.appBundleIdentifier) == 1);
        if (!window || !m_access.setFrame(target, *window)) {
            continue;
        }
        placedWindows.append(*window);
        ++count;
    }
    return count;
}

void WindowPlacementModel::applyNow()
{
    if (m_screenConfigurationChanging) {
        setStatus(QStringLiteral("モニタ構成の変更が完了するまでお待ちください"));
        return;
    }
    refreshMonitorConfiguration();
    if (!windowPlacementEnabled()) {
        setStatus(offStatus());
        return;
    }
    if (!isTrusted(true)) {
        setRequiresPermission(true);
        setStatus(QStringLiteral("アクセシビリティ権限を許可してから適用してください"));
        return;
    }
    const int count = applyRules();
    setStatus(count >= 1 ? placed(QString(), count)
                         : QStringLiteral("適用対象のウィンドウが見つかりませんでした"));
}

void WindowPlacementModel::registerSelectedWindow()
{
    if (m_screenConfigurationChanging) {
        setStatus(QStringLiteral("モニタ構成の変更が完了してから登録してください"));
        return;
    }
    refreshMonitorConfiguration();
    const auto selected = std::find_if(m_availableWindows.cbegin(), m_availableWindows.cend(),
        [this](const RunningWindowSnapshot& window) {
            return m_selectedWindowID && window.id == *m_selectedWindowID;
        });
    if (selected == m_availableWindows.cend()) {
        setStatus(QStringLiteral("登録するウィンドウを選択してください"));
        return;
    }
    if (!windowPlacementEnabled()) {
        setStatus(QStringLiteral("先に「ウィンドウ固定を有効化」をオンにしてください"));
        return;
    }
    if (!isTrusted(true)) {
        setRequiresPermission(true);
        setStatus(QStringLiteral("アクセシビリティ権限を許可してから登録してください"));
        return;
    }
    const RunningWindowSnapshot window = *selected;
    const std::optional<WindowElement> element =
        m_access.findBestMatchingWindow(window.pid, window.windowTitle, window.bounds, {}, true);
    const std::optional<QRectF> frame = element ? m_access.frameOfWindow(*element) : std::nullopt;
    if (!frame) {
        setStatus(QStringLiteral("選択ウィンドウの位置・サイズを取得できませんでした"));
        return;
    }
    const QString status = WindowPlacementRuleList::registerWindow(
        m_rules, window, *frame, m_monitor, m_services.scheduler.now());
    saveRules();
    setStatus(status);
}

void WindowPlacementModel::removeRule(const QUuid& id)
{
    if (const std::optional<QString> status = WindowPlacementRuleList::remove(m_rules, id)) {
        saveRules();
        setStatus(*status);
    }
}

void WindowPlacementModel::startTask(const QString& key, double firstDelay, int attempts,
    double pause, std::function<Attempt()> attempt)
{
    cancelTask(key);
    m_applyTasks.insert_or_assign(key,
        m_services.scheduler.postDelayed(firstDelay,
            [this, key, attempts, pause, attempt] { runTask(key, attempts, pause, attempt); }));
}

void WindowPlacementModel::runTask(
    const QString& key, int remaining, double pause, std::function<Attempt()> attempt)
{
    if (attempt() == Attempt::Stop || remaining <= 1) {
        m_applyTasks.erase(key);
        return;
    }
    m_applyTasks.insert_or_assign(
        key, m_services.scheduler.postDelayed(pause, [this, key, remaining, pause, attempt] {
            runTask(key, remaining - 1, pause, attempt);
        }));
}

void WindowPlacementModel::cancelTask(const QString& key)
{
    m_applyTasks.erase(key); // the handle's destruction cancels the task
}

void WindowPlacementModel::cancelAllApplyTasks()
{
    m_applyTasks.clear();
}

WindowPlacementModel::Attempt WindowPlacementModel::applyAllAttempt(
    const QString& reason, bool untilSuccess)
{
    refreshMonitorConfiguration();
    if (!isTrusted(false)) {
        setRequiresPermission(true);
        return Attempt::Stop;
    }
    const int count = applyRules();
    if (count >= 1) {
        setStatus(placed(reason, count));
        return untilSuccess ? Attempt::Stop : Attempt::Continue;
    }
    return Attempt::Continue;
}

void WindowPlacementModel::scheduleInitialApplyIfNeeded()
{
    if (!windowPlacementEnabled()) {
        return;
    }
    if (frequentStartupReapplyEnabled()) {
        startTask(InitialTask, 0, StartupRounds, StartupRoundPause,
            [this] { return applyAllAttempt(QStringLiteral("起動時に"), false); });
    } else {
        startTask(InitialTask, 0, Attempts, AttemptPause,
            [this] { return applyAllAttempt(QStringLiteral("起動時に"), true); });
    }
}

void WindowPlacementModel::scheduleApplyForLaunchedApp(const QString& bundleIdentifier)
{
    if (!windowPlacementEnabled()) {
        return;
    }
    if (m_screenConfigurationChanging) {
        m_pendingLaunchedBundleIDs.insert(bundleIdentifier);
        return;
    }
    if (ruleCount(bundleIdentifier) == 0) {
        return;
    }
    startTask(bundleIdentifier, 0, Attempts, AttemptPause, [this, bundleIdentifier] {
        if (!isTrusted(false)) {
            setRequiresPermission(true);
            return Attempt::Stop;
        }
        const int expected = ruleCount(bundleIdentifier);
        const int count = applyRules(bundleIdentifier);
        if (expected > 0 && count >= expected) {
            setStatus(placed(QStringLiteral("起動アプリに"), count));
            return Attempt::Stop;
        }
        return Attempt::Continue;
    });
}

void WindowPlacementModel::drainPendingLaunchedApplications()
{
    const QSet<QString> pending = std::exchange(m_pendingLaunchedBundleIDs, {});
    for (const QString& bundleIdentifier : pending) {
        scheduleApplyForLaunchedApp(bundleIdentifier);
    }
}

void WindowPlacementModel::scheduleRefreshAfterScreenConfigurationChange()
{
    if (!m_screenConfigurationChanging) {
        const QString previous = m_monitor.signature;
        refreshMonitorConfiguration();
        if (m_monitor.signature == previous) {
            refreshAvailableWindows();
            return;
        }
    }
    m_screenConfigurationChanging = true;
    cancelAllApplyTasks();
    m_screenConfigurationChangeTask = m_services.scheduler.postDelayed(
        SettleDelay, [this] { finishScreenConfigurationChange(); });
}

void WindowPlacementModel::finishScreenConfigurationChange()
{
    refresh();
    m_screenConfigurationChanging = false;
    if (!windowPlacementEnabled() || m_requiresPermission) {
        return;
    }
    const QList<ApplicationRecord> applications = m_services.windows.runningApplications();
    QStringList targets;
    for (const WindowPlacementRule& rule : rulesForCurrentMonitor()) {
        const bool running = std::any_of(
            applications.cbegin(), applications.cend(), [&](const ApplicationRecord& application) {
                return application.bundleIdentifier == rule.appBundleIdentifier;
            });
        if (running && !targets.contains(rule.appBundleIdentifier)) {
            targets.append(rule.appBundleIdentifier);
        }
    }
    int total = 0;
    for (const QString& target : std::as_const(targets)) {
        const int count = applyRules(target);
        total += count;
        if (count < ruleCount(target)) {
            scheduleApplyForLaunchedApp(target);
        }
    }
    if (total > 0) {
        setStatus(placed(QStringLiteral("モニタ構成変更後に"), total));
    }
    drainPendingLaunchedApplications();
    if (m_services.scheduler.uptime() - m_startedAt < StartupRerunWindow) {
        scheduleInitialApplyIfNeeded();
    }
}

void WindowPlacementModel::scheduleApplyAfterWake()
{
    if (!windowPlacementEnabled() || !reapplyOnWakeEnabled() || m_screenConfigurationChanging) {
        return;
    }
    cancelTask(WakeTask);
    m_applyTasks.insert_or_assign(WakeTask, m_services.scheduler.postDelayed(WakeDelay, [this] {
        startTask(WakeTask, 0, Attempts, AttemptPause,
            [this] { return applyAllAttempt(QStringLiteral("復帰時に"), true); });
    }));
}

void WindowPlacementModel::startMonitoringLaunchedApplications()
{
    if (m_launchConnection) {
        return;
    }
    m_launchConnection = connect(&m_services.windows, &WindowAccess::applicationLaunched, this,
        [this](const ApplicationRecord& application) {
            if (application.bundleIdentifier) {
                scheduleApplyForLaunchedApp(*application.bundleIdentifier);
            }
        });
}

void WindowPlacementModel::stopMonitoringLaunchedApplications()
{
    disconnect(m_launchConnection);
    m_launchConnection = {};
    m_pendingLaunchedBundleIDs.clear();
}

void WindowPlacementModel::updateWakeMonitoring()
{
    if (windowPlacementEnabled() && reapplyOnWakeEnabled()) {
        if (!m_wakeConnection) {
            m_wakeConnection = connect(&m_services.session, &SessionEvents::sessionResumed, this,
                [this] { scheduleApplyAfterWake(); });
        }
    } else {
        disconnect(m_wakeConnection);
        m_wakeConnection = {};
    }
}

void WindowPlacementModel::setWindowPlacementEnabled(bool enabled)
{
    m_enabled.set(enabled);
    updateWakeMonitoring();
    if (enabled) {
        startMonitoringLaunchedApplications();
        scheduleInitialApplyIfNeeded();
        if (!isTrusted(false)) {
            setRequiresPermission(true);
            setStatus(QStringLiteral("ウィンドウ固定の適用にはアクセシビリティ権限が必要です"));
        }
    } else {
        stopMonitoringLaunchedApplications();
        cancelAllApplyTasks();
        setStatus(offStatus());
    }
    Q_EMIT settingsChanged();
}

void WindowPlacementModel::setReapplyOnWakeEnabled(bool enabled)
{
    m_reapplyOnWake.set(enabled);
    updateWakeMonitoring();
    if (!enabled) {
        cancelTask(WakeTask);
    }
    setStatus(enabled ? QStringLiteral("スクリーンセイバー・ロック復帰時の再適用: オン")
                      : QStringLiteral("スクリーンセイバー・ロック復帰時の再適用: オフ"));
    Q_EMIT settingsChanged();
}

void WindowPlacementModel::setFrequentStartupReapplyEnabled(bool enabled)
{
    m_frequentStartup.set(enabled);
    setStatus(enabled ? QStringLiteral("起動直後の毎秒再適用: オン")
                      : QStringLiteral("起動直後の毎秒再適用: オフ"));
    Q_EMIT settingsChanged();
}

void WindowPlacementModel::setApplyShortcut(const std::optional<LeftClickShortcut>& shortcut)
{
    m_applyShortcut = shortcut;
    m_store.saveApplyShortcut(shortcut);
    setStatus(QStringLiteral("今すぐ適用のショートカット: ") +
        (shortcut ? shortcut->displayText() : QStringLiteral("未設定")));
    Q_EMIT applyShortcutChanged();
}
