#pragma once

// The audio devices of the system as the sound priority feature reads them: every device in the
// sound system's own order, whether it can play sound, its persistent identifier and its name
// (either may be unreadable), the default output, and change notifications.
//
// Listener callbacks may arrive on any thread (the sound system's own); they must only hand
// work on to the main thread. Destroying the returned handle unregisters the callback; a
// failed registration returns no handle.

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct SoundDeviceRecord
{
    std::optional<QString> identifier;
    std::optional<QString> name;
    bool hasOutput = false;

    bool operator==(const SoundDeviceRecord& other) const = default;
};

enum class SoundSystemProperty
{
    Devices,
    DefaultOutputDevice
};

class SoundListenerHandle
{
public:
    virtual ~SoundListenerHandle() = default;
};

class SoundSystem
{
public:
    virtual ~SoundSystem() = default;

    // The sound system's name in its error texts ("PulseAudio").
    virtual QString name() const = 0;
    virtual QList<SoundDeviceRecord> devices() const = 0;
    // The identifier of the current default output; none when there is none or it is unreadable.
    virtual std::optional<QString> defaultOutputDeviceIdentifier() const = 0;
    // Makes the connected device with this identifier the default output: 0 on success, else
    // the sound system's (negative) status.
    virtual int setDefaultOutputDevice(const QString& identifier) = 0;
    virtual std::unique_ptr<SoundListenerHandle> addListener(
        SoundSystemProperty property, std::function<void()> callback) = 0;
};
