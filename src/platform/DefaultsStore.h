#pragma once

// The per-user defaults store: typed values under the system's dotted keys. A value keeps
// the type it was written with (an Int stays an Int across a restart), because several
// readers decide by type ("unless the legacy key holds an Int").

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

using DefaultsValue = std::variant<std::monostate, bool, qint64, double, QString, QByteArray>;

enum class DefaultsType
{
    Absent,
    Bool,
    Integer,
    Double,
    String,
    Data
};

DefaultsType defaultsTypeOf(const DefaultsValue& value);
QString defaultsTypeName(DefaultsType type);

class DefaultsStore
{
public:
    virtual ~DefaultsStore() = default;

    // monostate when absent.
    virtual DefaultsValue value(const QString& key) const = 0;
    virtual void set(const QString& key, const DefaultsValue& value) = 0;
    virtual void remove(const QString& key) = 0;
    virtual QStringList keys() const = 0;

    // Another application's preference domain; empty unless a backend maps it.
    virtual DefaultsValue foreignValue(const QString& domain, const QString& key) const;

    bool contains(const QString& key) const;

    // Typed reads return nothing when the key is absent or holds another type; numeric
    // reads accept either numeric type, as the platform's store does.
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<qint64> integerValue(const QString& key) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;

    // Writes value when the key is absent; returns whether it wrote.
    bool registerDefault(const QString& key, const DefaultsValue& value);
};
