#pragma once

// The raw values last written through the helper, with the device items each write produced.
// A raw value can say more than the device keeps (any positive acceleration is just "adaptive"),
// so a read returns the written value for as long as the device still holds exactly what that
// write left there; once something else changed the device, the mapping's reading applies.
// Kept in one small JSON file, written atomically.

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

class HidPropertyState final
{
public:
    // Loads path; a missing or unreadable file is an empty state.
    explicit HidPropertyState(QString path);

    std::optional<qint64> rawValue(
        const QString& device, const QString& property, const QList<double>& current) const;
    void remember(
        const QString& device, const QString& property, qint64 raw, const QList<double>& items);
    bool save(QString* error) const;

private:
    QString m_path;
    QJsonObject m_devices;
};
