#include "SimSoundSystem.h"

class SimSoundSystem::Handle final : public SoundListenerHandle
{
public:
    Handle(SimSoundSystem& system, int id)
        : m_system(system)
        , m_id(id)
    { }
    ~Handle() override { m_system.m_listeners.erase(m_id); }

private:
    SimSoundSystem& m_system;
    int m_id;
};

SoundDeviceRecord SimSoundSystem::output(const QString& identifier, const QString& name)
{
    return {identifier, name, true};
}

int SimSoundSystem::setDefaultOutputDevice(const QString& identifier)
{
    ++m_switchCount;
    if (m_switchStatus != 0) {
        return m_switchStatus;
    }
    chooseDefaultByHand(identifier);
    return 0;
}

std::unique_ptr<SoundListenerHandle> SimSoundSystem::addListener(
    SoundSystemProperty property, std::function<void()> callback)
{
    if (m_refusesListeners) {
        return nullptr;
    }
    const int id = ++m_nextListener;
    m_listeners.emplace(id, std::pair(property, std::move(callback)));
    return std::make_unique<Handle>(*this, id);
}

void SimSoundSystem::plug(const SoundDeviceRecord& device)
{
    m_devices.append(device);
    notify(SoundSystemProperty::Devices);
}

void SimSoundSystem::unplug(const QString& identifier)
{
    m_devices.removeIf([&](const SoundDeviceRecord& d) { return d.identifier == identifier; });
    if (m_default == identifier) {
        m_default.reset();
        notify(SoundSystemProperty::DefaultOutputDevice);
    }
    notify(SoundSystemProperty::Devices);
}

void SimSoundSystem::chooseDefaultByHand(const std::optional<QString>& identifier)
{
    m_default = identifier;
    notify(SoundSystemProperty::DefaultOutputDevice);
}

void SimSoundSystem::notify(SoundSystemProperty property)
{
    const auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners) {
        if (listener.first == property) {
            listener.second();
        }
    }
}
