#pragma once

// "サウンド": the switch of sound output priority and its five slots, the tidying of devices no
// longer seen and the reset. The device list and the status follow the model; the slots show
// what the model holds after each choice (a device chosen for one slot leaves any other).

#include <QList>
#include <QWidget>

class QCheckBox;
class QLabel;
class SoundPriorityModel;
class SoundPriorityPickerRow;

class SoundSettingsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit SoundSettingsTab(SoundPriorityModel& model, QWidget* parent = nullptr);

private:
    void showState();
    void showSlots();

    SoundPriorityModel& m_model;
    QCheckBox* m_enabled = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_offNotice = nullptr;
    QList<SoundPriorityPickerRow*> m_pickers;
};
