#include "PulseAudioSoundSystem.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <pulse/pulseaudio.h>

namespace {

struct Snapshot
{
    QList<SoundDeviceRecord> sinks;
    std::optional<QString> defaultSink;
};

constexpr pa_usec_t reconnectDelayUsec = 1000 * 1000;

} // namespace

struct PulseAudioSoundSystem::Client
{
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* reconnectTimer = nullptr;

    // Guards snapshot and listeners; never held while calling out.
    mutable std::mutex mutex;
    Snapshot snapshot;
    std::map<int, std::pair<SoundSystemProperty, std::function<void()>>> listeners;
    int nextListener = 0;

    // The update being collected on the client's thread.
    Snapshot building;
    int outstandingQueries = 0;
    bool updateAgain = false;

    void connect();
    void scheduleReconnect();
    void requestSnapshot();
    void queryFinished();
    void commit(Snapshot next);
};

class PulseAudioSoundSystem::ListenerHandle final : public SoundListenerHandle
{
public:
    ListenerHandle(std::shared_ptr<PulseAudioSoundSystem::Client> client, int id)
        : m_client(std::move(client))
        , m_id(id)
    { }
    ~ListenerHandle() override
    {
        const std::lock_guard lock(m_client->mutex);
        m_client->listeners.erase(m_id);
    }

private:
    std::shared_ptr<PulseAudioSoundSystem::Client> m_client;
    int m_id;
};

void PulseAudioSoundSystem::Client::connect()
{
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Norvale");
    pa_context_set_state_callback(
        context,
        [](pa_context* c, void* data) {
            auto* client = static_cast<Client*>(data);
            switch (pa_context_get_state(c)) {
            case PA_CONTEXT_READY:
                pa_context_set_subscribe_callback(
                    c,
                    [](pa_context*, pa_subscription_event_type_t, uint32_t, void* data) {
                        static_cast<Client*>(data)->requestSnapshot();
                    },
                    client);
                pa_operation_unref(pa_context_subscribe(c,
                    static_cast<pa_subscription_mask_t>(
                        PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                    nullptr, nullptr));
                client->requestSnapshot();
                break;
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED:
                client->commit({});
                client->scheduleReconnect();
                break;
            default:
                break;
            }
        },
        this);
    // Without a server yet, wait for one to appear instead of failing.
    if (pa_context_connect(context, nullptr,
            static_cast<pa_context_flags_t>(PA_CONTEXT_NOFAIL | PA_CONTEXT_NOAUTOSPAWN),
            nullptr) < 0) {
        scheduleReconnect();
    }
}

void PulseAudioSoundSystem::Client::scheduleReconnect()
{
    if (reconnectTimer) {
        return;
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    // The failed context is replaced from a timer, not from inside its own callback.
    reconnectTimer = api->time_new(
        api, nullptr,
        [](pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* data) {
            auto* client = static_cast<Client*>(data);
            api->time_free(event);
            client->reconnectTimer = nullptr;
            pa_context_set_state_callback(client->context, nullptr, nullptr);
            pa_context_disconnect(client->context);
            pa_context_unref(client->context);
            client->outstandingQueries = 0;
            client->updateAgain = false;
            client->connect();
        },
        this);
    struct timeval when;
    api->time_restart(reconnectTimer, pa_timeval_add(pa_gettimeofday(&when), reconnectDelayUsec));
}

void PulseAudioSoundSystem::Client::requestSnapshot()
{
    if (outstandingQueries > 0) {
        updateAgain = true;
        return;
    }
    building = {};
    outstandingQueries = 2;
    pa_operation_unref(pa_context_get_sink_info_list(
        context,
        [](pa_context*, const pa_sink_info* info, int eol, void* data) {
            auto* client = static_cast<Client*>(data);
            if (eol != 0) {
                client->queryFinished();
                return;
            }
            const QString description = QString::fromUtf8(info->description);
            client->building.sinks.append({QString::fromUtf8(info->name),
                description.isEmpty() ? std::nullopt : std::optional(description), true});
        },
        this));
    pa_operation_unref(pa_context_get_server_info(
        context,
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* client = static_cast<Client*>(data);
            if (info && info->default_sink_name && *info->default_sink_name) {
                client->building.defaultSink = QString::fromUtf8(info->default_sink_name);
            }
            client->queryFinished();
        },
        this));
}

void PulseAudioSoundSystem::Client::queryFinished()
{
    if (--outstandingQueries > 0) {
        return;
    }
    commit(building);
    if (updateAgain) {
        updateAgain = false;
        requestSnapshot();
    }
}

void PulseAudioSoundSystem::Client::commit(Snapshot next)
{
    std::vector<std::function<void()>> toCall;
    {
        const std::lock_guard lock(mutex);
        const bool devicesChanged = next.sinks != snapshot.sinks;
        const bool defaultChanged = next.defaultSink != snapshot.defaultSink;
        snapshot = std::move(next);
        for (const auto& [id, listener] : listeners) {
            if ((listener.first == SoundSystemProperty::Devices && devicesChanged) ||
                (listener.first == SoundSystemProperty::DefaultOutputDevice && defaultChanged)) {
                toCall.push_back(listener.second);
            }
        }
    }
    for (const auto& callback : toCall) {
        callback();
    }
}

PulseAudioSoundSystem::PulseAudioSoundSystem()
    : m_client(std::make_shared<Client>())
{
    m_client->loop = pa_threaded_mainloop_new();
    pa_threaded_mainloop_set_name(m_client->loop, "norvale-pulse");
    pa_threaded_mainloop_lock(m_client->loop);
    m_client->connect();
    pa_threaded_mainloop_unlock(m_client->loop);
    pa_threaded_mainloop_start(m_client->loop);
}

PulseAudioSoundSystem::~PulseAudioSoundSystem()
{
    pa_threaded_mainloop_lock(m_client->loop);
    if (m_client->reconnectTimer) {
        pa_threaded_mainloop_get_api(m_client->loop)->time_free(m_client->reconnectTimer);
    }
    pa_context_set_state_callback(m_client->context, nullptr, nullptr);
    pa_context_set_subscribe_callback(m_client->context, nullptr, nullptr);
    pa_context_disconnect(m_client->context);
    pa_context_unref(m_client->context);
    pa_threaded_mainloop_unlock(m_client->loop);
    pa_threaded_mainloop_stop(m_client->loop);
    pa_threaded_mainloop_free(m_client->loop);
}

QList<SoundDeviceRecord> PulseAudioSoundSystem::devices() const
{
    const std::lock_guard lock(m_client->mutex);
    return m_client->snapshot.sinks;
}

std::optional<QString> PulseAudioSoundSystem::defaultOutputDeviceIdentifier() const
{
    const std::lock_guard lock(m_client->mutex);
    return m_client->snapshot.defaultSink;
}

int PulseAudioSoundSystem::setDefaultOutputDevice(const QString& identifier)
{
    struct Answer
    {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<int> status;
    };
    auto answer = std::make_shared<Answer>();
    pa_threaded_mainloop_lock(m_client->loop);
    if (pa_context_get_state(m_client->context) != PA_CONTEXT_READY) {
        pa_threaded_mainloop_unlock(m_client->loop);
        return -PA_ERR_CONNECTIONREFUSED;
    }
    // The callback owns a reference of its own: the wait below may give up first.
    pa_operation* operation = pa_context_set_default_sink(
        m_client->context, identifier.toUtf8().constData(),
        [](pa_context* c, int success, void* data) {
            std::unique_ptr<std::shared_ptr<Answer>> owned(
                static_cast<std::shared_ptr<Answer>*>(data));
            const std::lock_guard lock((*owned)->mutex);
            (*owned)->status = success ? 0 : -pa_context_errno(c);
            (*owned)->done.notify_all();
        },
        new std::shared_ptr<Answer>(answer));
    pa_threaded_mainloop_unlock(m_client->loop);
    if (!operation) {
        return -pa_context_errno(m_client->context);
    }
    pa_operation_unref(operation);
    std::unique_lock lock(answer->mutex);
    if (!answer->done.wait_for(lock, std::chrono::milliseconds(switchTimeoutMs),
            [&] { return answer->status.has_value(); })) {
        return -PA_ERR_TIMEOUT;
    }
    if (*answer->status == 0) {
        // Read at once by the caller; the server's own event confirms it later.
        const std::lock_guard snapshotLock(m_client->mutex);
        m_client->snapshot.defaultSink = identifier;
    }
    return *answer->status;
}

std::unique_ptr<SoundListenerHandle> PulseAudioSoundSystem::addListener(
    SoundSystemProperty property, std::function<void()> callback)
{
    const std::lock_guard lock(m_client->mutex);
    const int id = ++m_client->nextListener;
    m_client->listeners.emplace(id, std::pair(property, std::move(callback)));
    return std::make_unique<ListenerHandle>(m_client, id);
}
