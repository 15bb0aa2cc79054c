#pragma once

// The sound system on Linux: the PulseAudio client API, which PipeWire's pulse server serves
// too. Output devices are the sinks (identifier = sink name, name = its description), the
// default output is the server's default sink, and it is changed with
// pa_context_set_default_sink. Listeners follow subscriptions to sink and server events.
//
// The client runs on its own threaded main loop and keeps a snapshot of the sinks and the
// default sink, renewed after every sink or server event, so that the main thread reads
// without waiting for the server. Listeners are called (on the client's thread) only when the
// snapshot really changed: sink events also come for every volume change. A missing server
// means no devices; the connection waits for a server to appear and is made again when the
// server goes away. A switch waits for the server's answer for at most switchTimeoutMs;
// failures give the negative PulseAudio error code.

#include "platform/SoundSystem.h"

#include <QString>

#include <memory>

class PulseAudioSoundSystem final : public SoundSystem
{
public:
    static constexpr int switchTimeoutMs = 2000;

    PulseAudioSoundSystem();
    ~PulseAudioSoundSystem() override;

    QString name() const override { return QStringLiteral("PulseAudio"); }
    QList<SoundDeviceRecord> devices() const override;
    std::optional<QString> defaultOutputDeviceIdentifier() const override;
    int setDefaultOutputDevice(const QString& identifier) override;
    std::unique_ptr<SoundListenerHandle> addListener(
        SoundSystemProperty property, std::function<void()> callback) override;

private:
    struct Client;
    class ListenerHandle;
    std::shared_ptr<Client> m_client;
};
