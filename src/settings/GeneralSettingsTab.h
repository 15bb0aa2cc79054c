#pragma once

// "一般": launch at login (with the login item's message and a way to the desktop's autostart
// settings), the two interface scales, the quick panel's shortcut and whether the panel
// closes after a copy. Everything is read from and written to the general settings model.
//
// "システム設定を開く" opens the autostart folder in the file manager (created when missing):
// the desktops share no settings page for login items, but every one honours that folder.

#include <QWidget>

class AppSettingsModel;
class QCheckBox;
class QLabel;
class QPushButton;
class Scheduler;
class ShortcutRecorderRow;

class GeneralSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    GeneralSettingsTab(AppSettingsModel& model, Scheduler& scheduler, QWidget* parent = nullptr);

Q_SIGNALS:
    void shortcutRecorderActiveChanged(bool active);

private:
    void showLoginItem();

    AppSettingsModel& m_model;
    QCheckBox* m_launchAtLogin = nullptr;
    QLabel* m_loginNote = nullptr;
    QPushButton* m_openSettings = nullptr;
};
