#pragma once

// One priority slot of sound output: "優先度N" and a picker of "未設定" and every known device,
// a disconnected one marked "（未接続）". The picker shows the slot's identifier; a choice is
// only passed on (deviceChosen), the model decides what the slots then hold.

#include "sound/SoundOutputDevice.h"

#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;

class SoundPriorityPickerRow final : public QWidget
{
    Q_OBJECT

public:
    SoundPriorityPickerRow(int slot, QWidget* parent = nullptr);

    // The picker's lines for a device list, "未設定" first.
    static QStringList entryTexts(const QList<SoundOutputDevice>& devices);

    void showChoice(
        const QList<SoundOutputDevice>& devices, const std::optional<QString>& deviceID);
    int slot() const { return m_slot; }
    QComboBox* picker() const { return m_picker; }

Q_SIGNALS:
    void deviceChosen(const std::optional<QString>& deviceID, int slot);

private:
    int m_slot;
    QComboBox* m_picker = nullptr;
};
