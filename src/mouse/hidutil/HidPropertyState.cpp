#include "HidPropertyState.h"

#include "support/PrivateFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtNumeric>

namespace {

QJsonArray toArray(const QList<double>& items)
{
    QJsonArray array;
    for (double item : items) {
        array.append(item);
    }
    return array;
}

QList<double> toList(const QJsonArray& array)
{
    QList<double> items;
    for (const QJsonValue& item : array) {
        items.append(item.toDouble(qQNaN()));
    }
    return items;
}

} // namespace

HidPropertyState::HidPropertyState(QString path)
    : m_path(std::move(path))
{
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        m_devices = QJsonDocument::fromJson(file.readAll()).object();
    }
}

std::optional<qint64> HidPropertyState::rawValue(
    const QString& device, const QString& property, const QList<double>& current) const
{
    const QJsonObject entry = m_devices.value(device).toObject().value(property).toObject();
    const QJsonValue raw = entry.value(QLatin1String("raw"));
    if (!raw.isDouble() || toList(entry.value(QLatin1String("items")).toArray()) != current) {
        return std::nullopt;
    }
    return raw.toInteger();
}

void HidPropertyState::remember(
    const QString& device, const QString& property, qint64 raw, const QList<double>& items)
{
    QJsonObject entries = m_devices.value(device).toObject();
    entries.insert(property,
        QJsonObject {{QStringLiteral("raw"), raw}, {QStringLiteral("items"), toArray(items)}});
    m_devices.insert(device, entries);
}

bool HidPropertyState::save(QString* error) const
{
    return PrivateFiles::writeAtomically(
        m_path, QJsonDocument(m_devices).toJson(QJsonDocument::Compact), error);
}
