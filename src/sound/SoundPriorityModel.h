#pragma once

// Keeps the default audio output on the most preferred connected device of five priority
// slots. The known devices (every output device seen and not pruned) are remembered across
// restarts so that a disconnected headset can still be ranked; they are kept sorted: connected
// first, then by name in the displayed-name order.
//
// While on, the devices are refreshed and the priorities applied every 2 s and whenever the
// sound system reports a change of devices or of the default output. The sound system's
// callbacks only post that work to the main thread, where it runs if the model still exists
// and the feature is still on. A choice of output made by hand is therefore undone at the next
// refresh.
//
// Stored under soundPriority.*: enabled, knownDevices (a JSON array of {"id", "name",
// "isAvailable"} objects), priority1.deviceID … priority5.deviceID (removed when the slot is
// empty), and initialDefaultOutputDeviceID, written once at the first start the default output
// can be read, used by the reset.

#include "SoundOutputDevice.h"
#include "platform/DefaultsStore.h"
#include "platform/Scheduler.h"
#include "platform/Setting.h"
#include "platform/SoundSystem.h"

#include <QList>
#include <QMap>
#include <QObject>

#include <memory>
#include <optional>

class SoundPriorityModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool soundPriorityEnabled READ soundPriorityEnabled WRITE setSoundPriorityEnabled
            NOTIFY soundPriorityEnabledChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY statusMessageChanged)

public:
    static constexpr int slotCount = 5;
    static constexpr double refreshInterval = 2.0;
    // Slot number (1 to 5) to identifier; a missing slot and a slot holding none are empty.
    using PriorityDeviceIDs = QMap<int, std::optional<QString>>;

    SoundPriorityModel(SoundSystem& sound, DefaultsStore& defaults, Scheduler& scheduler,
        QObject* parent = nullptr);
    ~SoundPriorityModel() override;

    bool soundPriorityEnabled() const { return m_enabled.value(); }
    // The change handler runs on every assignment, also of the value held.
    void setSoundPriorityEnabled(bool enabled);

    std::optional<QString> statusMessage() const { return m_statusMessage; }
    QList<SoundOutputDevice> devices() const { return m_devices; }
    std::optional<QString> currentOutputDeviceID() const { return m_currentOutputDeviceID; }
    PriorityDeviceIDs priorityDeviceIDs() const { return m_priorityDeviceIDs; }
    void setPriorityDeviceIDs(const PriorityDeviceIDs& ids);
    // Puts id into slot (1 to 5, else ignored), emptying any other slot that held it.
    void setDeviceID(const std::optional<QString>& id, int slot);

    // The connected output devices in the sound system's order.
    QList<SoundOutputDevice> availableOutputDevices() const;
    void refreshDevices();
    void applyPreferredOutputIfNeeded();
    // Forgets the known devices that are neither connected nor in a slot.
    void clearUnknownDevices();
    void resetAllSettings();

Q_SIGNALS:
    void soundPriorityEnabledChanged(bool enabled);
    void statusMessageChanged();
    void devicesChanged();
    void currentOutputDeviceIDChanged();
    void priorityDeviceIDsChanged();

private:
    static QString priorityKey(int slot);
    static PriorityDeviceIDs emptyPriorityDeviceIDs();

    void setStatusMessage(const std::optional<QString>& message);
    void setCurrentOutputDeviceID(const std::optional<QString>& id);
    void publishDevices();
    bool isConnected(const QString& identifier) const;
    void mergeAvailableDevices(const QList<SoundOutputDevice>& available);
    void loadKnownDevices();
    void saveKnownDevices();
    void loadPriorityDeviceIDs();
    void savePriorityDeviceIDs();
    void priorityDeviceIDsDidChange();
    void restoreInitialDefaultOutputDeviceIfAvailable();
    void updateStatusMessageAfterRefresh();
    void refreshAndApply();
    void startMonitoring();
    void addPropertyListener(
        SoundSystemProperty property, std::unique_ptr<SoundListenerHandle>& slot);
    void removePropertyListeners();
    void startRefreshTimer();

    SoundSystem& m_sound;
    DefaultsStore& m_defaults;
    Scheduler& m_scheduler;
    Setting<bool> m_enabled;
    std::optional<QString> m_statusMessage;
    QList<SoundOutputDevice> m_devices;
    QList<SoundOutputDevice> m_knownDevices;
    std::optional<QString> m_currentOutputDeviceID;
    PriorityDeviceIDs m_priorityDeviceIDs;
    TimerHandle m_refreshTimer;
    std::unique_ptr<SoundListenerHandle> m_deviceChangeListener;
    std::unique_ptr<SoundListenerHandle> m_defaultOutputChangeListener;
    // Cleared when the model goes: a callback posted by the sound system's thread then finds
    // nothing to run.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
