#include "DefaultsStore.h"

#include <algorithm>
#include <cmath>

DefaultsType defaultsTypeOf(const DefaultsValue& value)
{
    return static_cast<DefaultsType>(value.index());
}

QString defaultsTypeName(DefaultsType type)
{
    switch (type) {
    case DefaultsType::Absent:
        return QStringLiteral("absent");
    case DefaultsType::Bool:
        return QStringLiteral("bool");
    case DefaultsType::Integer:
        return QStringLiteral("int");
    case DefaultsType::Double:
        return QStringLiteral("double");
    case DefaultsType::String:
        return QStringLiteral("string");
    case DefaultsType::Data:
        return QStringLiteral("data");
    }
    return {};
}

DefaultsValue DefaultsStore::foreignValue(const QString&, const QString&) const
{
    return {};
}

bool DefaultsStore::contains(const QString& key) const
{
    return !std::holds_alternative<std::monostate>(value(key));
}

std::optional<bool> DefaultsStore::boolValue(const QString& key) const
{
    const DefaultsValue v = value(key);
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b;
    }
    return std::nullopt;
}

std::optional<qint64> DefaultsStore::integerValue(const QString& key) const
{
    const DefaultsValue v = value(key);
    if (const auto* i = std::get_if<qint64>(&v)) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&v); d && std::isfinite(*d)) {
        return static_cast<qint64>(std::trunc(std::clamp(*d, -9.2e18, 9.2e18)));
    }
    return std::nullopt;
}

std::optional<double> DefaultsStore::doubleValue(const QString& key) const
{
    const DefaultsValue v = value(key);
    if (const auto* d = std::get_if<double>(&v)) {
        return *d;
    }
    if (const auto* i = std::get_if<qint64>(&v)) {
        return static_cast<double>(*i);
    }
    return std::nullopt;
}

std::optional<QString> DefaultsStore::stringValue(const QString& key) const
{
    const DefaultsValue v = value(key);
    if (const auto* s = std::get_if<QString>(&v)) {
        return *s;
    }
    return std::nullopt;
}

std::optional<QByteArray> DefaultsStore::dataValue(const QString& key) const
{
    const DefaultsValue v = value(key);
    if (const auto* d = std::get_if<QByteArray>(&v)) {
        return *d;
    }
    return std::nullopt;
}

bool DefaultsStore::registerDefault(const QString& key, const DefaultsValue& value)
{
    if (contains(key)) {
        return false;
    }
    set(key, value);
    return true;
}
