#include "MemoryDefaultsStore.h"

#include <algorithm>

DefaultsValue MemoryDefaultsStore::value(const QString& key) const
{
    return m_values.value(key);
}

void MemoryDefaultsStore::set(const QString& key, const DefaultsValue& value)
{
    if (std::holds_alternative<std::monostate>(value)) {
        m_values.remove(key);
    } else {
        m_values.insert(key, value);
    }
}

void MemoryDefaultsStore::remove(const QString& key)
{
    m_values.remove(key);
}

QStringList MemoryDefaultsStore::keys() const
{
    QStringList result = m_values.keys();
    std::sort(result.begin(), result.end());
    return result;
}

DefaultsValue MemoryDefaultsStore::foreignValue(const QString& domain, const QString& key) const
{
    return m_foreign.value(domain + QLatin1Char('\n') + key);
}

void MemoryDefaultsStore::setForeignValue(
    const QString& domain, const QString& key, const DefaultsValue& value)
{
    m_foreign.insert(domain + QLatin1Char('\n') + key, value);
}
