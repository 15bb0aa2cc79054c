#pragma once

// One defaults key as a typed value, so that a model states each of its settings once (key,
// default, normaliser, what a change sets off) and keeps its Q_PROPERTY accessors as thin
// forwards:
//
//     Setting<bool> m_closeOnCopy {defaults, QStringLiteral("menu.closeOnCopy"), false,
//         {.changed = [this](bool on) { Q_EMIT closeOnCopyChanged(on); }}};
//     void setCloseOnCopy(bool on) { m_closeOnCopy.set(on); }
//
// - registerDefault() writes the default, or a value the model works out (a legacy key's),
//   when the key is absent. Models call it for each key, in their table's order, before any
//   load(), so a fresh store ends up holding every key.
// - load() reads the stored value through the read normaliser; a value corrected on reading
//   is not written back. An absent value, or one the store cannot give as T (a string for
//   a number; numbers convert between integer and double), reads as the default.
// - set() passes the value through the normaliser and writes the result at once, also when
//   it equals the value held (the store follows every assignment); the change handler runs
//   only when the value changed, after the write. Storing the normalised value directly is
//   the same as assigning the corrected value and running the setter again.
// A normaliser returns nothing for a value the setting cannot take (NaN for a scale): read,
// that gives the default; set, it is ignored: nothing is written and nothing changes.
//
// Integer settings are qint64, the store's integer type, so that clamping happens before any
// narrowing. Each setting writes its own type: a double setting writes 1.0 as a double.

#include "platform/DefaultsStore.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

template<typename T>
class Setting final
{
public:
    using Normalizer = std::function<std::optional<T>(const T&)>;

    struct Rules
    {
        // Applied to every value set, and to every value read unless normalizeRead is given.
        Normalizer normalize = {};
        Normalizer normalizeRead = {};
        std::function<void(const T&)> changed = {};
    };

    Setting(DefaultsStore& store, QString key, T defaultValue, Rules rules = {})
        : m_store(store)
        , m_key(std::move(key))
        , m_default(defaultValue)
        , m_value(std::move(defaultValue))
        , m_rules(std::move(rules))
    { }

    const QString& key() const { return m_key; }
    const T& value() const { return m_value; }

    bool registerDefault() { return registerDefault(m_default); }
    bool registerDefault(const T& value) { return m_store.registerDefault(m_key, stored(value)); }

    void load()
    {
        const Normalizer& normalize =
            m_rules.normalizeRead ? m_rules.normalizeRead : m_rules.normalize;
        std::optional<T> value = read();
        if (value && normalize) {
            value = normalize(*value);
        }
        m_value = value.value_or(m_default);
    }

    // True when the value changed.
    bool set(const T& value)
    {
        const std::optional<T> normalized = m_rules.normalize ? m_rules.normalize(value) : value;
        if (!normalized) {
            return false;
        }
        m_store.set(m_key, stored(*normalized));
        if (*normalized == m_value) {
            return false;
        }
        m_value = *normalized;
        if (m_rules.changed) {
            m_rules.changed(m_value);
        }
        return true;
    }

    static Normalizer clampedTo(T minimum, T maximum)
    {
        return [minimum, maximum](const T& value) -> std::optional<T> {
            return std::clamp(value, minimum, maximum);
        };
    }

private:
    std::optional<T> read() const
    {
        if constexpr (std::is_same_v<T, bool>) {
            return m_store.boolValue(m_key);
        } else if constexpr (std::is_same_v<T, qint64>) {
            return m_store.integerValue(m_key);
        } else if constexpr (std::is_same_v<T, double>) {
            return m_store.doubleValue(m_key);
        } else if constexpr (std::is_same_v<T, QString>) {
            return m_store.stringValue(m_key);
        } else {
            static_assert(std::is_same_v<T, QByteArray>, "not a type the defaults store keeps");
            return m_store.dataValue(m_key);
        }
    }

    static DefaultsValue stored(const T& value)
    {
        return DefaultsValue(std::in_place_type<T>, value);
    }

    DefaultsStore& m_store;
    QString m_key;
    T m_default;
    T m_value;
    Rules m_rules;
};
