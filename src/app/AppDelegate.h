#pragma once

// The application: owns one instance of every feature model for the whole run, the tray icon's
// menu, the quick panel's container, the settings window and the paste-back controller that
// takes a copy from the quick panel back to the application the user came from. Everything
// runs on the main thread; delayed steps go through the Scheduler, so the whole flow runs on
// mock time in tests.
//
// Construction first copies what an earlier build left behind (once, LegacySettingsMigrator),
// then creates the models in their fixed order (clipboard history, fixed phrases,
// general settings; each later feature takes its place in that order).
// applicationDidFinishLaunching() creates the status item, the quick panel container and the
// frontmost-application tracking, and subscribes to the settings that shape them; each subscription
// delivers its current value at once. applicationWillTerminate() runs once, from
// QCoreApplication::aboutToQuit, whatever asked to quit (the menu, `norvale quit`, a signal, the
// session's end).

#include "AppCommandContext.h"
#include "panel/ClipboardMenuState.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QVariantMap>

#include <memory>
#include <optional>

struct AppPlatform;
class AppSettingsModel;
class ClipboardHistoryMenu;
class ClipboardHistoryMenuViewModel;
class ClipboardHistoryModel;
class DockMovementPreventionModel;
class FixedPhraseModel;
class GlobalShortcutController;
class PasteBackController;
class QuickPanelFloatingPanels;
class QuickPanelWindow;
class SettingsView;
class SettingsWindow;
class SoftwareUpdateDialog;
class SoftwareUpdaterModel;
class SoundPriorityModel;
class MouseSettingsModel;
class WindowPlacementModel;
struct StatusMenuEntry;

class AppDelegate final : public QObject, public AppShellActions
{
    Q_OBJECT

public:
    static constexpr int terminationSaveWaitMs = 5000;

    explicit AppDelegate(AppPlatform& platform, QObject* parent = nullptr);
    ~AppDelegate() override;

    AppModels models() const
    {
        return {*m_clipboardHistory, *m_fixedPhrases, *m_appSettings, *m_dockMovementPrevention,
            *m_windowPlacement, *m_soundPriority, *m_mouseSettings, *m_softwareUpdater};
    }
    // The models and shell actions for the command handlers.
    AppCommandContext commandContext();

    void applicationDidFinishLaunching();
    // Idempotent; runs from QCoreApplication::aboutToQuit.
    void applicationWillTerminate();
    // Asks the application to quit (the termination sequence follows from aboutToQuit).
    void terminate() override;
    // The session is ending (it may still be cancelled): make sure the data is on disk.
    void prepareForSessionEnd();

    // `norvale show` (and later the shortcut): anchored at the pointer.
    void toggleQuickPanelAtPointer() override;
    void openSettingsWindow(std::optional<SettingsTab> tab) override;
    // The quick panel has put something on the clipboard.
    void handleClipboardMenuCopy(ClipboardHistoryMenuCopySource source);
    // Posted by the shortcut recorder when it starts or stops recording: {"isActive": Bool}.
    void leftClickShortcutRecorderActiveChanged(const QVariantMap& userInfo);
    QStringList warnings() const override;

Q_SIGNALS:
    // The termination sequence has finished (tests and the e2e log watch for it).
    void terminated();

private:
    void updateStatusItem();
    QList<StatusMenuEntry> statusMenuEntries();
    void showContextMenu(const QPoint& position);
    void configureQuickPanel();
    // A scale or row-count change: the panel's size, and the same view relaid out.
    void resizeAndRebuildQuickPanel();
    bool isQuickPanelOpen() const;
    // Left click on the tray icon: the icon's geometry when the tray knows it, else null.
    void toggleQuickPanelAtStatusItem(const QRect& iconGeometry);
    void openQuickPanel(const QRect& anchor);
    void subscribe();
    void subscribeShortcuts();
    void toggleClipboardHistory();
    // The update dialog, created at its first showing.
    void showUpdateDialog();
    // The feature switches of the status menu after clipboard history, in their menu order.
    void appendFeatureSwitches(QList<StatusMenuEntry>& entries);
    // Writes what the phrase and history stores still hold, bounded by one deadline.
    void flushStores();

    AppPlatform& m_platform;
    std::unique_ptr<ClipboardHistoryModel> m_clipboardHistory;
    std::unique_ptr<FixedPhraseModel> m_fixedPhrases;
    std::unique_ptr<AppSettingsModel> m_appSettings;
    std::unique_ptr<DockMovementPreventionModel> m_dockMovementPrevention;
    std::unique_ptr<WindowPlacementModel> m_windowPlacement;
    std::unique_ptr<SoundPriorityModel> m_soundPriority;
    std::unique_ptr<MouseSettingsModel> m_mouseSettings;
    std::unique_ptr<SoftwareUpdaterModel> m_softwareUpdater;
    // The panel's view model outlives its view (the window's content) and dies before the
    // models it reads.
    std::unique_ptr<ClipboardHistoryMenuViewModel> m_clipboardMenu;
    std::unique_ptr<QuickPanelWindow> m_quickPanel;
    // The side panel and the image preview, beside the open panel.
    std::unique_ptr<QuickPanelFloatingPanels> m_floatingPanels;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    SettingsView* m_settingsView = nullptr; // owned by the window
    std::unique_ptr<SoftwareUpdateDialog> m_updateDialog;
    std::unique_ptr<PasteBackController> m_pasteBack;
    std::unique_ptr<GlobalShortcutController> m_globalShortcuts;
    ClipboardMenuState m_clipboardMenuState;
    bool m_applicationIsTerminating = false;
    bool m_launched = false;
    std::optional<int> m_lastRowCount;
    std::optional<double> m_lastLeftClickUIScale;
    std::optional<double> m_lastSettingsUIScale;
};
