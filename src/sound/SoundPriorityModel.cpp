#include "SoundPriorityModel.h"

#include "support/Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const QString enabledKey = QStringLiteral("soundPriority.enabled");
const QString knownDevicesKey = QStringLiteral("soundPriority.knownDevices");
const QString initialDefaultKey = QStringLiteral("soundPriority.initialDefaultOutputDeviceID");

QString offMessage()
{
    return QStringLiteral("サウンド優先度: オフ");
}

void sortDevices(QList<SoundOutputDevice>& devices)
{
    std::stable_sort(
        devices.begin(), devices.end(), [](const SoundOutputDevice& a, const SoundOutputDevice& b) {
            if (a.isAvailable != b.isAvailable) {
                return a.isAvailable;
            }
            return Text::nameLess(a.name, b.name);
        });
}

std::optional<SoundOutputDevice> deviceFromJson(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue name = object.value(QLatin1String("name"));
    const QJsonValue available = object.value(QLatin1String("isAvailable"));
    if (!value.isObject() || !id.isString() || !name.isString() || !available.isBool()) {
        return std::nullopt;
    }
    return SoundOutputDevice {id.toString(), name.toString(), available.toBool()};
}

} // namespace

SoundPriorityModel::SoundPriorityModel(
    SoundSystem& sound, DefaultsStore& defaults, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_sound(sound)
    , m_defaults(defaults)
    , m_scheduler(scheduler)
    , m_enabled(defaults, enabledKey, false)
{
    m_enabled.registerDefault();
    if (!m_defaults.contains(initialDefaultKey)) {
        if (const std::optional<QString> current = m_sound.defaultOutputDeviceIdentifier()) {
            m_defaults.set(initialDefaultKey, *current);
        }
    }
    loadKnownDevices();
    loadPriorityDeviceIDs();
    m_enabled.load();
    if (soundPriorityEnabled()) {
        startMonitoring();
        startRefreshTimer();
        refreshDevices();
        applyPreferredOutputIfNeeded();
    } else {
        setStatusMessage(offMessage());
    }
}

SoundPriorityModel::~SoundPriorityModel()
{
    *m_alive = false;
    removePropertyListeners();
}

void SoundPriorityModel::setSoundPriorityEnabled(bool enabled)
{
    const bool changed = m_enabled.set(enabled);
    if (enabled) {
        startMonitoring();
        startRefreshTimer();
        refreshDevices();
        applyPreferredOutputIfNeeded();
    } else {
        m_refreshTimer.cancel();
        removePropertyListeners();
        setStatusMessage(offMessage());
    }
    if (changed) {
        Q_EMIT soundPriorityEnabledChanged(enabled);
    }
}

void SoundPriorityModel::setStatusMessage(const std::optional<QString>& message)
{
    if (m_statusMessage != message) {
        m_statusMessage = message;
        Q_EMIT statusMessageChanged();
    }
}

void SoundPriorityModel::setCurrentOutputDeviceID(const std::optional<QString>& id)
{
    if (m_currentOutputDeviceID != id) {
        m_currentOutputDeviceID = id;
        Q_EMIT currentOutputDeviceIDChanged();
    }
}

void SoundPriorityModel::publishDevices()
{
    if (m_devices != m_knownDevices) {
        m_devices = m_knownDevices;
        Q_EMIT devicesChanged();
    }
}

QList<SoundOutputDevice> SoundPriorityModel::availableOutputDevices() const
{
    QList<SoundOutputDevice> available;
    for (const SoundDeviceRecord& record : m_sound.devices()) {
        if (!record.hasOutput || !record.identifier) {
            continue;
        }
        available.append({*record.identifier, record.name.value_or(*record.identifier), true});
    }
    return available;
}

bool SoundPriorityModel::isConnected(const QString& identifier) const
{
    const QList<SoundDeviceRecord> records = m_sound.devices();
    return std::any_of(records.begin(), records.end(),
        [&](const SoundDeviceRecord& record) { return record.identifier == identifier; });
}

void SoundPriorityModel::mergeAvailableDevices(const QList<SoundOutputDevice>& available)
{
    QList<SoundOutputDevice> merged;
    for (SoundOutputDevice known : std::as_const(m_knownDevices)) {
        const bool seen = std::any_of(available.begin(), available.end(),
            [&](const SoundOutputDevice& device) { return device.id == known.id; });
        if (!seen) {
            known.isAvailable = false;
            merged.append(known);
        }
    }
    for (const SoundOutputDevice& device : available) {
        merged.removeIf([&](const SoundOutputDevice& other) { return other.id == device.id; });
        merged.append(device);
    }
    sortDevices(merged);
    m_knownDevices = merged;
    publishDevices();
    saveKnownDevices();
}

void SoundPriorityModel::loadKnownDevices()
{
    m_knownDevices.clear();
    const QJsonDocument document =
        QJsonDocument::fromJson(m_defaults.dataValue(knownDevicesKey).value_or(QByteArray()));
    QList<SoundOutputDevice> loaded;
    for (const QJsonValue& value : document.array()) {
        std::optional<SoundOutputDevice> device = deviceFromJson(value);
        if (!device) {
            return;
        }
        // Whatever was stored, nothing is known to be connected until the first refresh.
        device->isAvailable = false;
        loaded.append(*device);
    }
    m_knownDevices = loaded;
}

void SoundPriorityModel::saveKnownDevices()
{
    QJsonArray array;
    for (const SoundOutputDevice& device : std::as_const(m_knownDevices)) {
        array.append(
            QJsonObject {{QStringLiteral("id"), device.id}, {QStringLiteral("name"), device.name},
                {QStringLiteral("isAvailable"), device.isAvailable}});
    }
    m_defaults.set(knownDevicesKey, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QString SoundPriorityModel::priorityKey(int slot)
{
    return QStringLiteral("soundPriority.priority%1.deviceID").arg(slot);
}

SoundPriorityModel::PriorityDeviceIDs SoundPriorityModel::emptyPriorityDeviceIDs()
{
    PriorityDeviceIDs ids;
    for (int slot = 1; slot <= slotCount; ++slot) {
        ids.insert(slot, std::nullopt);
    }
    return ids;
}

void SoundPriorityModel::loadPriorityDeviceIDs()
{
    m_priorityDeviceIDs = emptyPriorityDeviceIDs();
    for (int slot = 1; slot <= slotCount; ++slot) {
        m_priorityDeviceIDs[slot] = m_defaults.stringValue(priorityKey(slot));
    }
}

void SoundPriorityModel::savePriorityDeviceIDs()
{
    for (int slot = 1; slot <= slotCount; ++slot) {
        if (const std::optional<QString> id = m_priorityDeviceIDs.value(slot)) {
            m_defaults.set(priorityKey(slot), *id);
        } else {
            m_defaults.remove(priorityKey(slot));
        }
    }
}

void SoundPriorityModel::priorityDeviceIDsDidChange()
{
    Q_EMIT priorityDeviceIDsChanged();
    savePriorityDeviceIDs();
    if (soundPriorityEnabled()) {
        applyPreferredOutputIfNeeded();
    }
}

void SoundPriorityModel::setPriorityDeviceIDs(const PriorityDeviceIDs& ids)
{
    m_priorityDeviceIDs = emptyPriorityDeviceIDs();
    for (auto it = ids.begin(); it != ids.end(); ++it) {
        if (it.key() >= 1 && it.key() <= slotCount) {
            m_priorityDeviceIDs[it.key()] = it.value();
        }
    }
    priorityDeviceIDsDidChange();
}

void SoundPriorityModel::setDeviceID(const std::optional<QString>& id, int slot)
{
    if (slot < 1 || slot > slotCount) {
        return;
    }
    if (id) {
        for (auto it = m_priorityDeviceIDs.begin(); it != m_priorityDeviceIDs.end(); ++it) {
            if (it.key() != slot && it.value() == id) {
                it.value().reset();
            }
        }
    }
    m_priorityDeviceIDs[slot] = id;
    priorityDeviceIDsDidChange();
}

void SoundPriorityModel::clearUnknownDevices()
{
    m_knownDevices.removeIf([this](const SoundOutputDevice& device) {
        if (device.isAvailable) {
            return false;
        }
        for (const std::optional<QString>& id : std::as_const(m_priorityDeviceIDs)) {
            if (id == device.id) {
                return false;
            }
        }
        return true;
    });
    saveKnownDevices();
    sortDevices(m_knownDevices);
    publishDevices();
}

void SoundPriorityModel::restoreInitialDefaultOutputDeviceIfAvailable()
{
    const std::optional<QString> initial = m_defaults.stringValue(initialDefaultKey);
    if (!initial || !isConnected(*initial)) {
        return;
    }
    m_sound.setDefaultOutputDevice(*initial);
    setCurrentOutputDeviceID(*initial);
}

void SoundPriorityModel::resetAllSettings()
{
    setSoundPriorityEnabled(false);
    m_priorityDeviceIDs = emptyPriorityDeviceIDs();
    Q_EMIT priorityDeviceIDsChanged();
    savePriorityDeviceIDs();
    m_knownDevices.clear();
    m_defaults.remove(knownDevicesKey);
    savePriorityDeviceIDs();
    restoreInitialDefaultOutputDeviceIfAvailable();
    refreshDevices();
    setStatusMessage(QStringLiteral("サウンド優先度の設定をリセットしました"));
}

void SoundPriorityModel::refreshDevices()
{
    const QList<SoundOutputDevice> available = availableOutputDevices();
    setCurrentOutputDeviceID(m_sound.defaultOutputDeviceIdentifier());
    mergeAvailableDevices(available);
    updateStatusMessageAfterRefresh();
}

void SoundPriorityModel::updateStatusMessageAfterRefresh()
{
    if (!soundPriorityEnabled()) {
        setStatusMessage(offMessage());
        return;
    }
    for (const SoundOutputDevice& device : std::as_const(m_devices)) {
        if (device.id == m_currentOutputDeviceID) {
            setStatusMessage(QStringLiteral("出力先: ") + device.name);
            return;
        }
    }
    setStatusMessage(QStringLiteral("現在の出力先を確認できません"));
}

void SoundPriorityModel::applyPreferredOutputIfNeeded()
{
    if (!soundPriorityEnabled()) {
        return;
    }
    std::optional<SoundOutputDevice> target;
    for (int slot = 1; slot <= slotCount && !target; ++slot) {
        const std::optional<QString> id = m_priorityDeviceIDs.value(slot);
        for (const SoundOutputDevice& device : std::as_const(m_devices)) {
            if (id == device.id && device.isAvailable) {
                target = device;
                break;
            }
        }
    }
    if (!target) {
        setStatusMessage(QStringLiteral("利用可能な優先デバイスがありません"));
        return;
    }
    if (m_currentOutputDeviceID == target->id) {
        setStatusMessage(QStringLiteral("出力先: ") + target->name);
        return;
    }
    if (!isConnected(target->id)) {
        setStatusMessage(target->name + QStringLiteral(" を出力先に設定できませんでした"));
        return;
    }
    if (const int status = m_sound.setDefaultOutputDevice(target->id); status != 0) {
        setStatusMessage(QStringLiteral("出力先の切り替えに失敗しました: ") +
            SoundPriorityError(m_sound.name(), status).errorDescription());
        return;
    }
    setCurrentOutputDeviceID(target->id);
    setStatusMessage(
        QStringLiteral("出力先を ") + target->name + QStringLiteral(" に切り替えました"));
}

void SoundPriorityModel::refreshAndApply()
{
    if (soundPriorityEnabled()) {
        refreshDevices();
        applyPreferredOutputIfNeeded();
    }
}

void SoundPriorityModel::startMonitoring()
{
    if (!m_deviceChangeListener) {
        addPropertyListener(SoundSystemProperty::Devices, m_deviceChangeListener);
    }
    if (!m_defaultOutputChangeListener) {
        addPropertyListener(
            SoundSystemProperty::DefaultOutputDevice, m_defaultOutputChangeListener);
    }
}

void SoundPriorityModel::addPropertyListener(
    SoundSystemProperty property, std::unique_ptr<SoundListenerHandle>& slot)
{
    // Runs on the sound system's thread: only hands the work to the main thread.
    slot = m_sound.addListener(
        property, [this, alive = std::weak_ptr<bool>(m_alive), &scheduler = m_scheduler] {
            scheduler.post([this, alive] {
                if (const auto living = alive.lock(); living && *living) {
                    refreshAndApply();
                }
            });
        });
}

void SoundPriorityModel::removePropertyListeners()
{
    m_deviceChangeListener.reset();
    m_defaultOutputChangeListener.reset();
}

void SoundPriorityModel::startRefreshTimer()
{
    if (!m_refreshTimer.isActive()) {
        m_refreshTimer = m_scheduler.repeating(refreshInterval, [this] { refreshAndApply(); });
    }
}
