#pragma once

#include "platform/DefaultsStore.h"

#include <QHash>

class MemoryDefaultsStore final : public DefaultsStore
{
public:
    DefaultsValue value(const QString& key) const override;
    void set(const QString& key, const DefaultsValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;
    DefaultsValue foreignValue(const QString& domain, const QString& key) const override;

    void setForeignValue(const QString& domain, const QString& key, const DefaultsValue& value);

private:
    QHash<QString, DefaultsValue> m_values;
    QHash<QString, DefaultsValue> m_foreign;
};
