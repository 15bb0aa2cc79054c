#pragma once

// The content of the settings window: one tab per feature, in SettingsTabs' order, each tab's
// page in a vertical scroll area as wide as the window. A page is built when its tab is first
// selected: opening the window builds only the selected one. The selected tab is remembered under
// settings.selectedTab (its raw value; a value naming no tab reads as "一般"), so the window
// reopens on the last tab, also after a restart. All text is 13 × settingsUIScale points and
// follows the scale while the window is open.
//
// Showing the view refreshes the models whose state lives outside the application (the login
// item, windows and monitors, sound outputs); selecting "ウィンドウ固定" refreshes the placement
// model again, since the windows it lists may have changed while another tab was shown.
//
// Models that are not running in this session are null; their tab stays empty.

#include "SettingsTab.h"
#include "platform/Scheduler.h"
#include "platform/Setting.h"

#include <QWidget>

class AppSettingsModel;
class ClipboardHistoryModel;
class DockMovementPreventionModel;
class FixedPhraseModel;
class MouseSettingsModel;
class QTabWidget;
class SoftwareUpdaterModel;
class SoundPriorityModel;
class WindowPlacementModel;

struct SettingsModels
{
    AppSettingsModel& appSettings;
    ClipboardHistoryModel& clipboardHistory;
    FixedPhraseModel& fixedPhrases;
    WindowPlacementModel* windowPlacement = nullptr;
    SoundPriorityModel* soundPriority = nullptr;
    DockMovementPreventionModel* dockMovementPrevention = nullptr;
    MouseSettingsModel* mouseSettings = nullptr;
    SoftwareUpdaterModel* softwareUpdater = nullptr;
};

class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    static inline const QString selectedTabKey = QStringLiteral("settings.selectedTab");

    SettingsView(SettingsModels models, DefaultsStore& defaults, Scheduler& scheduler,
        QWidget* parent = nullptr);
    ~SettingsView() override;

    SettingsTab selectedTab() const;
    void setSelectedTab(SettingsTab tab);
    QTabWidget* tabWidget() const { return m_tabs; }

Q_SIGNALS:
    // A shortcut recorder started or stopped recording: global shortcuts pause meanwhile.
    void shortcutRecorderActiveChanged(bool active);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ensurePage(SettingsTab tab);
    QWidget* makePage(SettingsTab tab);
    void applyTextSize(double scale);

    SettingsModels m_models;
    Scheduler& m_scheduler;
    Setting<QString> m_selectedTab;
    QTabWidget* m_tabs = nullptr;
};
