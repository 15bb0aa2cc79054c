#pragma once

// "Dock": the switch of the pointer guard, and the way back from the setting an earlier approach
// changed (only offered while that setting is still on). The legacy setting is re-read each
// time the tab comes into view, since it can change outside the application.

#include <QWidget>

class DockMovementPreventionModel;
class QCheckBox;
class QLabel;
class QPushButton;

class DockMovementPreventionSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit DockMovementPreventionSettingsTab(
        DockMovementPreventionModel& model, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showState();

    DockMovementPreventionModel& m_model;
    QCheckBox* m_enabled = nullptr;
    QPushButton* m_restore = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_logoutNote = nullptr;
};
