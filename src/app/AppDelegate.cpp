#include "AppDelegate.h"

#include "AppPlatform.h"
#include "AppSettingsModel.h"
#include "GlobalShortcutController.h"
#include "LegacySettingsMigrator.h"
#include "PasteBackController.h"
#include "StatusItemIcon.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "dock/DockMovementPreventionModel.h"
#include "mouse/MouseSettingsModel.h"
#include "panel/ClipboardHistoryMenu.h"
#include "panel/ClipboardHistoryMenuViewModel.h"
#include "panel/QuickPanelFloatingPanels.h"
#include "panel/QuickPanelPlacement.h"
#include "panel/QuickPanelWindow.h"
#include "phrases/FixedPhraseModel.h"
#include "placement/WindowPlacementModel.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindow.h"
#include "settings/SoftwareUpdateDialog.h"
#include "sound/SoundPriorityModel.h"
#include "update/SoftwareUpdaterModel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeySequence>
#include <QPointer>

#include <cmath>

namespace {

// Runs reaction with the current value at once and then after every change signal. With a
// last value to compare against, a change that leaves the value as it was is not passed on.
template<typename Value, typename Sender, typename Signal>
void observe(QObject* context, Sender* sender, Signal signal, std::function<Value()> current,
    std::optional<Value>* last, std::function<void(const Value&)> reaction)
{
    auto deliver = [current = std::move(current), last, reaction = std::move(reaction)] {
        const Value value = current();
        if (last != nullptr) {
            if (*last == value) {
                return;
            }
            *last = value;
        }
        reaction(value);
    };
    deliver();
    QObject::connect(sender, signal, context, deliver);
}

} // namespace

AppDelegate::AppDelegate(AppPlatform& platform, QObject* parent)
    : QObject(parent)
    , m_platform(platform)
{
    // Before any model reads its settings or files.
    LegacySettingsMigrator::migrateIfNeeded(*platform.defaults,
        {platform.homeDirectory, platform.files->applicationSupportDirectory()},
        AppPlatform::applicationIdentifier);
    // The models, in their fixed order; each starts its own monitoring from its constructor.
    m_clipboardHistory = std::make_unique<ClipboardHistoryModel>(*platform.pasteboard,
        *platform.defaults, *platform.scheduler, *platform.executor, *platform.files);
    m_fixedPhrases = std::make_unique<FixedPhraseModel>(
        *platform.scheduler, *platform.executor, *platform.files);
    m_appSettings = std::make_unique<AppSettingsModel>(*platform.defaults, *platform.loginItem);
    m_dockMovementPrevention = std::make_unique<DockMovementPreventionModel>(
        *platform.displays, *platform.defaults, *platform.systemDefaults, *platform.scheduler);
    m_windowPlacement = std::make_unique<WindowPlacementModel>(
        WindowPlacementModel::Services {*platform.defaults, *platform.scheduler, *platform.displays,
            *platform.windowAccess, *platform.sessionEvents},
        AppPlatform::applicationIdentifier);
    m_soundPriority = std::make_unique<SoundPriorityModel>(
        *platform.sound, *platform.defaults, *platform.scheduler);
    m_mouseSettings = std::make_unique<MouseSettingsModel>(*platform.commandExecutor,
        *platform.scrollTap, *platform.defaults, *platform.scheduler, platform.mouseTools);
    SoftwareUpdaterModel::Configuration updates = SoftwareUpdaterModel::standardConfiguration();
    updates.openFile = platform.openUpdatePackage;
    m_softwareUpdater = std::make_unique<SoftwareUpdaterModel>(
        *platform.updateBackend, *platform.defaults, *platform.scheduler, std::move(updates));
    connect(m_softwareUpdater.get(), &SoftwareUpdaterModel::presentationRequested, this,
        [this] { showUpdateDialog(); });
    m_pasteBack = std::make_unique<PasteBackController>(
        *platform.workspace, *platform.keyboard, *platform.scheduler);
    GlobalShortcutController::Actions shortcutActions;
    shortcutActions.toggleQuickPanelAtPointer = [this] {
        toggleQuickPanelAtPointer();
    };
    shortcutActions.applyWindowPlacement = [this] {
        m_windowPlacement->applyNow();
    };
    shortcutActions.suppressShortcutHandling = [this] {
        return m_pasteBack->suppressShortcutHandling();
    };
    m_globalShortcuts = std::make_unique<GlobalShortcutController>(
        *platform.keyMonitor, *platform.scheduler, std::move(shortcutActions));
}

AppDelegate::~AppDelegate()
{
    // The panel's content calls back into the models: it goes first.
    m_floatingPanels.reset();
    m_quickPanel.reset();
    m_clipboardMenu.reset();
    m_settingsWindow.reset();
    m_updateDialog.reset();
    m_platform.tray->remove();
}

AppCommandContext AppDelegate::commandContext()
{
    return {models(), *this, *m_platform.displays, m_platform.simulatedPasteboard};
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched) {
        return;
    }
    m_launched = true;
    SystemTray& tray = *m_platform.tray;
    connect(&tray, &SystemTray::leftClicked, this,
        [this](const QRect& iconGeometry) { toggleQuickPanelAtStatusItem(iconGeometry); });
    connect(&tray, &SystemTray::contextMenuRequested, this,
        [this](const QPoint& position) { showContextMenu(position); });
    updateStatusItem();
    tray.install(statusItemIcon());
    configureQuickPanel();
    m_pasteBack->startTracking();
    subscribe();
    subscribeShortcuts();
}

void AppDelegate::updateStatusItem()
{
    m_platform.tray->setToolTip(m_clipboardHistory->clipboardHistoryEnabled()
            ? QStringLiteral("Norvale - クリップボード監視: オン")
            : QStringLiteral("Norvale - クリップボード監視: オフ"));
}

void AppDelegate::configureQuickPanel()
{
    // Built once: every opening renews the reset token, which starts the view model afresh.
    m_clipboardMenu = std::make_unique<ClipboardHistoryMenuViewModel>(*m_clipboardHistory,
        *m_fixedPhrases, m_clipboardMenuState, *m_platform.scheduler, *m_platform.executor,
        [this](ClipboardHistoryMenuCopySource source) { handleClipboardMenuCopy(source); });
    m_quickPanel = std::make_unique<QuickPanelWindow>(*m_platform.workspace, *m_platform.displays);
    auto* view = new ClipboardHistoryMenu(*m_clipboardMenu);
    m_quickPanel->setContent(view);
    m_floatingPanels = std::make_unique<QuickPanelFloatingPanels>(*m_clipboardMenu, *m_fixedPhrases,
        *m_clipboardHistory, *m_platform.scheduler, *m_platform.executor, *m_platform.displays);
    QuickPanelFloatingPanels* floating = m_floatingPanels.get();
    floating->setPanelWindow(m_quickPanel.get());
    connect(view, &ClipboardHistoryMenu::launcherHoverChanged, floating,
        &QuickPanelFloatingPanels::launcherHoverChanged);
    connect(view, &ClipboardHistoryMenu::launcherGlobalFrameChanged, floating,
        &QuickPanelFloatingPanels::setLauncherGlobalRect);
    connect(view, &ClipboardHistoryMenu::thumbnailHoverChanged, floating,
        &QuickPanelFloatingPanels::thumbnailHoverChanged);
    WindowPlacementModel* placement = m_windowPlacement.get();
    connect(view, &ClipboardHistoryMenu::applyWindowPlacementRequested, placement,
        &WindowPlacementModel::applyNow);
    view->setWindowPlacementEnabled(placement->windowPlacementEnabled());
    connect(placement, &WindowPlacementModel::settingsChanged, view, [view, placement] {
        view->setWindowPlacementEnabled(placement->windowPlacementEnabled());
    });
    // Both floating windows go with the panel, then whatever the closing brings back.
    connect(m_quickPanel.get(), &QuickPanelWindow::closed, floating,
        &QuickPanelFloatingPanels::hideAll);
    connect(m_quickPanel.get(), &QuickPanelWindow::closed, m_pasteBack.get(),
        &PasteBackController::quickPanelDidClose);
    resizeAndRebuildQuickPanel();
    // Once launching is over, the work the first opening and the first search would do. The
    // phrase section's first screen is drawn too: the first phrase search would otherwise
    // meet the fonts of its lines cold, with no glyph of them drawn yet.
    m_platform.scheduler->post([self = QPointer(this)] {
        if (self && self->m_quickPanel) {
            self->m_clipboardMenu->prepareSearchTexts();
            self->m_clipboardMenu->setSearchText(QStringLiteral("s "));
            self->m_quickPanel->prepareFirstFrame();
            self->m_clipboardMenu->setSearchText(QString());
            self->m_quickPanel->prepareFirstFrame();
        }
    });
}

void AppDelegate::resizeAndRebuildQuickPanel()
{
    if (!m_quickPanel) {
        return;
    }
    const QSizeF size = QuickPanelPlacement::leftClickMenuBaseSize(
        m_clipboardHistory->displayHistoryRowCount(), m_appSettings->leftClickUIScale());
    m_quickPanel->setPanelSize(QSize(
        static_cast<int>(std::lround(size.width())), static_cast<int>(std::lround(size.height()))));
    // The row count reaches the view through the history model itself.
    m_clipboardMenu->setUiScale(m_appSettings->leftClickUIScale());
}

bool AppDelegate::isQuickPanelOpen() const
{
    return m_quickPanel && m_quickPanel->isOpen();
}

void AppDelegate::toggleQuickPanelAtStatusItem(const QRect& iconGeometry)
{
    if (!m_quickPanel || m_applicationIsTerminating) {
        return;
    }
    if (m_quickPanel->isOpen()) {
        m_quickPanel->dismiss();
        return;
    }
    const QRect anchor = iconGeometry.isValid()
        ? iconGeometry
        : QuickPanelPlacement::anchorAtPointer(m_platform.displays->pointerLocation());
    openQuickPanel(anchor);
}

void AppDelegate::toggleQuickPanelAtPointer()
{
    if (!m_quickPanel || m_applicationIsTerminating) {
        return;
    }
    if (m_quickPanel->isOpen()) {
        m_quickPanel->dismiss();
        return;
    }
    openQuickPanel(QuickPanelPlacement::anchorAtPointer(m_platform.displays->pointerLocation()));
}

void AppDelegate::openQuickPanel(const QRect& anchor)
{
    // Remember where the user came from before our own window takes the focus.
    m_pasteBack->captureActivePasteTarget();
    m_clipboardMenuState.renewResetToken();
    m_quickPanel->open(anchor);
}

void AppDelegate::subscribe()
{
    auto* history = m_clipboardHistory.get();
    auto* settings = m_appSettings.get();
    observe<bool>(
        this, history, &ClipboardHistoryModel::clipboardHistoryEnabledChanged,
        [history] { return history->clipboardHistoryEnabled(); }, nullptr,
        [this](const bool&) { updateStatusItem(); });
    observe<double>(
        this, settings, &AppSettingsModel::leftClickUIScaleChanged,
        [settings] { return settings->leftClickUIScale(); }, &m_lastLeftClickUIScale,
        [this](const double&) { resizeAndRebuildQuickPanel(); });
    observe<double>(
        this, settings, &AppSettingsModel::settingsUIScaleChanged,
        [settings] { return settings->settingsUIScale(); }, &m_lastSettingsUIScale,
        [this](const double& scale) {
            if (m_settingsWindow) {
                m_settingsWindow->setUIScale(scale);
            }
        });
    observe<int>(
        this, history, &ClipboardHistoryModel::displayHistoryRowCountChanged,
        [history] { return history->displayHistoryRowCount(); }, &m_lastRowCount,
        [this](const int&) { resizeAndRebuildQuickPanel(); });
}

void AppDelegate::subscribeShortcuts()
{
    // Now and after every change; the controller ignores a shortcut that did not change.
    const auto applyLeftClickShortcut = [this] {
        m_globalShortcuts->setShortcut(
            ShortcutSlot::LeftClickMenu, m_appSettings->leftClickShortcut());
    };
    applyLeftClickShortcut();
    connect(m_appSettings.get(), &AppSettingsModel::leftClickShortcutChanged, this,
        applyLeftClickShortcut);
    const auto applyPlacementShortcut = [this] {
        m_globalShortcuts->setShortcut(
            ShortcutSlot::WindowPlacementApply, m_windowPlacement->applyShortcut());
    };
    applyPlacementShortcut();
    connect(m_windowPlacement.get(), &WindowPlacementModel::applyShortcutChanged, this,
        applyPlacementShortcut);
}

void AppDelegate::leftClickShortcutRecorderActiveChanged(const QVariantMap& userInfo)
{
    m_globalShortcuts->leftClickShortcutRecorderActiveChanged(userInfo);
}

QStringList AppDelegate::warnings() const
{
    const QString shortcuts = m_globalShortcuts->unavailableWarning();
    return shortcuts.isEmpty() ? QStringList() : QStringList {shortcuts};
}

QList<StatusMenuEntry> AppDelegate::statusMenuEntries()
{
    QList<StatusMenuEntry> entries;

    StatusMenuEntry history;
    history.title = QStringLiteral("クリップボード監視");
    history.checked = m_clipboardHistory->clipboardHistoryEnabled();
    history.action = [this] {
        toggleClipboardHistory();
    };
    entries.append(history);
    appendFeatureSwitches(entries);

    StatusMenuEntry show;
    show.title = QStringLiteral("履歴を表示");
    show.action = [this] {
        toggleQuickPanelAtStatusItem(m_platform.tray->iconGeometry());
    };
    entries.append(show);

    entries.append(StatusMenuEntry::makeSeparator());

    StatusMenuEntry settings;
    settings.title = QStringLiteral("設定");
    settings.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Comma);
    settings.action = [this] {
        openSettingsWindow(std::nullopt);
    };
    entries.append(settings);

    StatusMenuEntry update;
    update.title = QStringLiteral("アップデートを確認...");
    update.action = [this] {
        // While a check runs, the dialog shows how far it has come.
        if (!m_softwareUpdater->checkForUpdates() && m_softwareUpdater->session()) {
            showUpdateDialog();
        }
    };
    entries.append(update);

    entries.append(StatusMenuEntry::makeSeparator());

    StatusMenuEntry quit;
    quit.title = QStringLiteral("終了");
    quit.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit.action = [this] {
        terminate();
    };
    entries.append(quit);
    return entries;
}

void AppDelegate::showContextMenu(const QPoint& position)
{
    if (m_quickPanel && m_quickPanel->isOpen()) {
        m_quickPanel->dismiss();
    }
    m_platform.tray->showMenu(statusMenuEntries(), position);
}

void AppDelegate::appendFeatureSwitches(QList<StatusMenuEntry>& entries)
{
    StatusMenuEntry dock;
    dock.title = QStringLiteral("Dock移動抑止");
    dock.checked = m_dockMovementPrevention->dockMovementPreventionEnabled();
    dock.action = [this] {
        m_dockMovementPrevention->setDockMovementPreventionEnabled(
            !m_dockMovementPrevention->dockMovementPreventionEnabled());
    };
    entries.append(dock);

    StatusMenuEntry placement;
    placement.title = QStringLiteral("ウィンドウ固定");
    placement.checked = m_windowPlacement->windowPlacementEnabled();
    placement.action = [this] {
        m_windowPlacement->setWindowPlacementEnabled(!m_windowPlacement->windowPlacementEnabled());
        m_windowPlacement->refresh();
    };
    entries.append(placement);
    StatusMenuEntry mouse;
    mouse.title = QStringLiteral("マウス調整");
    mouse.checked = m_mouseSettings->mouseAdjustmentEnabled();
    mouse.action = [this] {
        m_mouseSettings->setMouseAdjustmentEnabled(!m_mouseSettings->mouseAdjustmentEnabled());
    };
    entries.append(mouse);

    StatusMenuEntry sound;
    sound.title = QStringLiteral("サウンド優先度");
    sound.checked = m_soundPriority->soundPriorityEnabled();
    sound.action = [this] {
        m_soundPriority->setSoundPriorityEnabled(!m_soundPriority->soundPriorityEnabled());
    };
    entries.append(sound);
}

void AppDelegate::toggleClipboardHistory()
{
    m_clipboardHistory->setClipboardHistoryEnabled(!m_clipboardHistory->clipboardHistoryEnabled());
}

void AppDelegate::showUpdateDialog()
{
    if (m_applicationIsTerminating) {
        return;
    }
    if (!m_updateDialog) {
        m_updateDialog = std::make_unique<SoftwareUpdateDialog>(*m_softwareUpdater);
    }
    m_updateDialog->show();
    m_updateDialog->raise();
    m_updateDialog->activateWindow();
}

void AppDelegate::openSettingsWindow(std::optional<SettingsTab> tab)
{
    if (m_applicationIsTerminating) {
        return;
    }
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(
            *m_platform.displays, *m_platform.workspace, *m_platform.scheduler);
        m_settingsView = new SettingsView(
            {*m_appSettings, *m_clipboardHistory, *m_fixedPhrases, m_windowPlacement.get(),
                m_soundPriority.get(), m_dockMovementPrevention.get(), m_mouseSettings.get(),
                m_softwareUpdater.get()},
            *m_platform.defaults, *m_platform.scheduler);
        connect(m_settingsView, &SettingsView::shortcutRecorderActiveChanged, this,
            [this](bool active) {
                leftClickShortcutRecorderActiveChanged(
                    {{QStringLiteral("isActive"), QVariant(active)}});
            });
        m_settingsWindow->setContent(m_settingsView);
    }
    if (tab) {
        m_settingsView->setSelectedTab(*tab);
    }
    m_settingsWindow->open(m_appSettings->settingsUIScale());
}

void AppDelegate::handleClipboardMenuCopy(ClipboardHistoryMenuCopySource source)
{
    bool autoPaste = false;
    switch (source) {
    case ClipboardHistoryMenuCopySource::FixedPhraseAutoPaste:
        // The copy has already marked the phrase as seen by the history (FixedPhraseClipboard).
        autoPaste = true;
        break;
    case ClipboardHistoryMenuCopySource::History:
        autoPaste = m_clipboardHistory->autoPasteAfterSelectingHistory();
        break;
    }
    const bool closeOnCopy = m_appSettings->closeLeftClickMenuOnCopy();
    if (!autoPaste && !closeOnCopy) {
        return;
    }
    // The one-shot restore request belongs to the close that follows; with no open panel
    // there is none, and a stale request must not fire at some later close.
    m_pasteBack->setRestoreAfterClose(!autoPaste && isQuickPanelOpen());
    if (m_quickPanel) {
        m_quickPanel->dismiss();
    }
    if (autoPaste) {
        m_pasteBack->pasteToLastActiveApplication();
    }
}

void AppDelegate::terminate()
{
    // aboutToQuit runs the termination sequence once the event loop has stopped.
    QCoreApplication::quit();
}

void AppDelegate::prepareForSessionEnd()
{
    // The session manager may still cancel the logout, so everything keeps running; only the
    // data is brought to disk.
    flushStores();
}

void AppDelegate::flushStores()
{
    // One bound for both stores: the session manager or the user waits on the whole.
    const QDeadlineTimer deadline(terminationSaveWaitMs);
    m_fixedPhrases->prepareForApplicationTermination(deadline);
    m_clipboardHistory->flushPendingSave(deadline);
}

void AppDelegate::applicationWillTerminate()
{
    if (m_applicationIsTerminating) {
        return;
    }
    m_applicationIsTerminating = true;
    // The panel closes as part of quitting, which is no reason to re-activate anything.
    m_pasteBack->stop();
    m_globalShortcuts->removeMonitors();
    if (m_quickPanel) {
        m_quickPanel->dismiss();
    }
    // The system scroll direction and the devices' baselines are put back by tools the process
    // does not wait for; they are started before the stores take the remaining time.
    m_mouseSettings->prepareForApplicationTermination();
    // Edits of the phrases still waiting for their delayed save, and a history save in flight,
    // would die with the process.
    flushStores();
    m_platform.tray->remove();
    Q_EMIT terminated();
}
