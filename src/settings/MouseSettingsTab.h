#pragma once

// "マウス": the switch of mouse adjustment, the device it tunes, the notes on missing grants and
// conflicting utilities, the wheel and cursor settings and the reset. The status line leaves
// out "選択中: …", which only repeats what the device picker shows.
//
// The off notice stands whenever the feature is off, which is how the status menu leaves it.

#include <QWidget>

#include <optional>

class LevelSliderRow;
class MouseSettingsModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

class MouseSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit MouseSettingsTab(MouseSettingsModel& model, QWidget* parent = nullptr);

    // The status line as the tab shows it: none for a message that names the selection.
    static std::optional<QString> shownStatus(const std::optional<QString>& message);

private:
    void addDevice(QVBoxLayout* column);
    void addNotes(QVBoxLayout* column);
    void addTuning(QVBoxLayout* column);
    void showState();
    void showDevices();
    void showNotes();

    MouseSettingsModel& m_model;
    QLabel* m_offNotice = nullptr;
    QCheckBox* m_enabled = nullptr;
    QComboBox* m_devices = nullptr;
    QLabel* m_unavailableReason = nullptr;
    QPushButton* m_openAccessibility = nullptr;
    QPushButton* m_openInputMonitoring = nullptr;
    QWidget* m_conflicts = nullptr;
    QLabel* m_conflictNames = nullptr;
    LevelSliderRow* m_wheelSpeed = nullptr;
    QCheckBox* m_scrollInverted = nullptr;
    QCheckBox* m_scrollAcceleration = nullptr;
    LevelSliderRow* m_cursorSpeed = nullptr;
    LevelSliderRow* m_cursorAcceleration = nullptr;
    QLabel* m_status = nullptr;
};
