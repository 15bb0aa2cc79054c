#pragma once

// The application: owns one instance of every feature model for the whole run, the tray icon
// and its menu, the quick panel's container, the settings window and the memory of which
// other application was frontmost, so that a copy from the quick panel can be pasted there.
// Everything runs on the main thread; delayed steps go through the Scheduler, so the whole
// flow runs on mock time in tests.
//
// Construction creates the models in their fixed order (clipboard history, fixed phrases,
// general settings; each later feature takes its place in that order).
// applicationDidFinishLaunching() creates the status item, the quick panel container and the
// frontmost-application tracking, and subscribes to the settings that shape them; each subscription
// delivers its current value at once. applicationWillTerminate() runs once, from
// QCoreApplication::aboutToQuit, whatever asked to quit (the menu, `norvale quit`, a signal, the
// session's end).
//
// Pasting into the remembered application sends Ctrl+V only when that window is the active
// one at the moment of the keystroke. When it has gone, or the window manager refused to
// activate it, nothing is sent and the entry simply stays on the clipboard: a keystroke into
// whatever happens to be in front could put a password into a window the user never chose.

#include "ClipboardMenuState.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <memory>
#include <optional>

struct AppPlatform;
class AppSettingsModel;
class ClipboardHistoryModel;
class FixedPhraseModel;
class QuickPanelHistoryList;
class QuickPanelWindow;
class SettingsWindow;
class StatusItem;
struct StatusMenuEntry;

class AppDelegate final : public QObject
{
    Q_OBJECT

public:
    static constexpr double pasteActivationDelay = 0.12;
    static constexpr double pasteKeystrokeDelay = 0.08;
    static constexpr double pasteSuppressionDuration = 0.25;
    static constexpr int terminationSaveWaitMs = 5000;

    explicit AppDelegate(AppPlatform& platform, QObject* parent = nullptr);
    ~AppDelegate() override;

    ClipboardHistoryModel& clipboardHistory() const { return *m_clipboardHistory; }
    FixedPhraseModel& fixedPhrases() const { return *m_fixedPhrases; }
    AppSettingsModel& appSettings() const { return *m_appSettings; }
    ClipboardMenuState& clipboardMenuState() { return m_clipboardMenuState; }
    AppPlatform& platform() const { return m_platform; }

    void applicationDidFinishLaunching();
    // Idempotent; runs from QCoreApplication::aboutToQuit.
    void applicationWillTerminate();
    // Asks the application to quit (the termination sequence follows from aboutToQuit).
    void terminate();
    // The session is ending (it may still be cancelled): make sure the data is on disk.
    void prepareForSessionEnd();

    // The status menu as it would be shown now.
    QList<StatusMenuEntry> statusMenuEntries();
    void showContextMenu(const QPoint& position);
    QString statusToolTip() const;

    // Left click on the tray icon: the icon's geometry when the tray knows it, else null.
    void toggleQuickPanelAtStatusItem(const QRect& iconGeometry);
    // `norvale show` (and later the shortcut): anchored at the pointer.
    void toggleQuickPanelAtPointer();
    bool isQuickPanelOpen() const;
    QSize quickPanelSize() const;

    void openSettingsWindow();
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }

    void captureActivePasteTarget();
    std::optional<RunningApplication> lastNonSelfFrontmostApplication() const
    {
        return m_lastNonSelfFrontmostApplication;
    }

    // The quick panel has put something on the clipboard.
    void handleClipboardMenuCopy(ClipboardHistoryMenuCopySource source);
    void pasteToLastActiveApplication();

    bool suppressShortcutHandling() const { return m_suppressShortcutHandling; }
    bool applicationIsTerminating() const { return m_applicationIsTerminating; }
    bool shouldRestoreApplicationAfterPopoverClose() const
    {
        return m_shouldRestoreApplicationAfterPopoverClose;
    }

    StatusItem* statusItem() const { return m_statusItem.get(); }
    QuickPanelWindow* quickPanel() const { return m_quickPanel.get(); }
    QuickPanelHistoryList* quickPanelHistoryList() const;

Q_SIGNALS:
    // The termination sequence has finished (tests and the e2e log watch for it).
    void terminated();

private:
    void updateStatusItem();
    void configureQuickPanel();
    void resizeAndRebuildQuickPanel();
    void openQuickPanel(const QRect& anchor);
    void quickPanelDidClose();
    void startTrackingFrontmostApplication();
    void rememberApplication(const RunningApplication& application);
    void subscribe();
    void postPasteShortcut(const std::optional<RunningApplication>& target);
    void copyHistoryItem(const QUuid& id);
    void toggleClipboardHistory();

    AppPlatform& m_platform;
    std::unique_ptr<ClipboardHistoryModel> m_clipboardHistory;
    std::unique_ptr<FixedPhraseModel> m_fixedPhrases;
    std::unique_ptr<AppSettingsModel> m_appSettings;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<QuickPanelWindow> m_quickPanel;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    ClipboardMenuState m_clipboardMenuState;
    std::optional<RunningApplication> m_lastNonSelfFrontmostApplication;
    bool m_suppressShortcutHandling = false;
    bool m_applicationIsTerminating = false;
    bool m_shouldRestoreApplicationAfterPopoverClose = false;
    bool m_launched = false;
    TimerHandle m_pasteStep;
    std::optional<int> m_lastRowCount;
    std::optional<double> m_lastLeftClickUIScale;
    std::optional<double> m_lastSettingsUIScale;
};
