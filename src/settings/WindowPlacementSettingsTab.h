#pragma once

// "ウィンドウ固定": the feature's switch and its two extra triggers, the apply-now shortcut, the
// status, the current monitor configuration, registering a window of a running application
// and the registrations of the current configuration with a way to remove each.
//
// The tab holds no state of its own: everything shown is read from the placement model when it
// announces a change, and every action is one of its operations. The two triggers are only
// greyed out while the feature is off, so their stored choices stay visible.

#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class Scheduler;
class ShortcutRecorderRow;
class WindowPlacementModel;
struct WindowPlacementRule;

class WindowPlacementSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    WindowPlacementSettingsTab(
        WindowPlacementModel& model, Scheduler& scheduler, QWidget* parent = nullptr);

    // "App / Title / 800x600 @ (101, 20)": what a row of the registration list says.
    static QString ruleText(const WindowPlacementRule& rule);

Q_SIGNALS:
    void shortcutRecorderActiveChanged(bool active);

private:
    void addSwitches(QVBoxLayout* column);
    void addRecorder(QVBoxLayout* column, Scheduler& scheduler);
    void addStatus(QVBoxLayout* column);
    void addRegistration(QVBoxLayout* column);
    void addRules(QVBoxLayout* column);
    void showState();
    void showAvailableWindows();
    void showRules();

    WindowPlacementModel& m_model;
    QCheckBox* m_enabled = nullptr;
    QCheckBox* m_reapplyOnWake = nullptr;
    QCheckBox* m_frequentStartup = nullptr;
    ShortcutRecorderRow* m_recorder = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_monitor = nullptr;
    QWidget* m_permission = nullptr;
    QPushButton* m_register = nullptr;
    QListWidget* m_windows = nullptr;
    QLabel* m_noRules = nullptr;
    QScrollArea* m_rulesArea = nullptr;
    QVBoxLayout* m_rules = nullptr;
};
