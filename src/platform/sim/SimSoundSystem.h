#pragma once

// Scripted audio devices: plug and unplug devices, choose the default output by hand, make the
// next switches fail with a status, or refuse listener registrations. Changes call the
// registered listeners at once, on the caller's thread.

#include "platform/SoundSystem.h"

#include <QList>

#include <map>

class SimSoundSystem final : public SoundSystem
{
public:
    QString name() const override { return QStringLiteral("PulseAudio"); }
    QList<SoundDeviceRecord> devices() const override { return m_devices; }
    std::optional<QString> defaultOutputDeviceIdentifier() const override { return m_default; }
    int setDefaultOutputDevice(const QString& identifier) override;
    std::unique_ptr<SoundListenerHandle> addListener(
        SoundSystemProperty property, std::function<void()> callback) override;

    // An output device with a readable identifier and name.
    static SoundDeviceRecord output(const QString& identifier, const QString& name);

    void plug(const SoundDeviceRecord& device);
    void unplug(const QString& identifier);
    // A choice made outside Norvale (the user's own mixer).
    void chooseDefaultByHand(const std::optional<QString>& identifier);
    void setSwitchStatus(int status) { m_switchStatus = status; }
    void setRefusesListeners(bool refuses) { m_refusesListeners = refuses; }

    int switchCount() const { return m_switchCount; }
    int listenerCount() const { return static_cast<int>(m_listeners.size()); }

private:
    class Handle;
    void notify(SoundSystemProperty property);

    QList<SoundDeviceRecord> m_devices;
    std::optional<QString> m_default;
    int m_switchStatus = 0;
    int m_switchCount = 0;
    bool m_refusesListeners = false;
    int m_nextListener = 0;
    std::map<int, std::pair<SoundSystemProperty, std::function<void()>>> m_listeners;
};
