#include "StrictJsonObject.h"

#include "Utf8Text.h"
#include "Uuid.h"

#include <cassert>

namespace {

QString utf8ToString(std::string_view text)
{
    return validUtf8ToString(text.data(), static_cast<qsizetype>(text.size()));
}

bool failWith(QString* error, const QString& reason)
{
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

} // namespace

StrictJsonObject::StrictJsonObject(std::span<const std::string_view> names, QString* error)
    : m_names(names)
    , m_error(error)
{
    assert(names.size() <= MaximumMembers);
}

bool StrictJsonObject::read(simdjson::dom::element value)
{
    simdjson::dom::object object;
    if (value.get_object().get(object) != simdjson::SUCCESS) {
        return failWith(m_error, QStringLiteral("an object was expected"));
    }
    m_seen = {};
    for (const simdjson::dom::key_value_pair field : object) {
        for (std::size_t member = 0; member < m_names.size(); ++member) {
            if (field.key != m_names[member]) {
                continue;
            }
            if (m_seen[member]) {
                return fail(member, "appears twice");
            }
            m_seen[member] = true;
            m_values[member] = field.value;
            break;
        }
    }
    return true;
}

StrictJsonObject::Presence StrictJsonObject::presence(std::size_t member) const
{
    if (!m_seen[member]) {
        return Presence::Absent;
    }
    return m_values[member].is_null() ? Presence::Null : Presence::Present;
}

bool StrictJsonObject::requiredString(std::size_t member, std::string_view* out)
{
    if (!m_seen[member]) {
        return fail(member, "is missing");
    }
    if (m_values[member].get_string().get(*out) != simdjson::SUCCESS) {
        return fail(member, "is not a string");
    }
    return true;
}

bool StrictJsonObject::string(std::size_t member, QString* out)
{
    std::string_view text;
    if (!requiredString(member, &text)) {
        return false;
    }
    *out = utf8ToString(text);
    return true;
}

bool StrictJsonObject::optionalString(std::size_t member, std::optional<QString>* out)
{
    std::optional<std::string_view> text;
    if (!optionalUtf8(member, &text)) {
        return false;
    }
    if (text) {
        *out = utf8ToString(*text);
    }
    return true;
}

bool StrictJsonObject::optionalUtf8(std::size_t member, std::optional<std::string_view>* out)
{
    if (presence(member) != Presence::Present) {
        return true;
    }
    std::string_view text;
    if (!requiredString(member, &text)) {
        return false;
    }
    *out = text;
    return true;
}

bool StrictJsonObject::uuid(std::size_t member, QUuid* out)
{
    std::string_view text;
    if (!requiredString(member, &text)) {
        return false;
    }
    // Widened on the stack: a store of 200,000 phrases needs no allocation per identifier.
    constexpr std::size_t Length = 36;
    if (text.size() != Length) {
        return fail(member, "is not a UUID");
    }
    std::array<char16_t, Length> wide {};
    for (std::size_t i = 0; i < Length; ++i) {
        wide[i] = static_cast<unsigned char>(text[i]);
    }
    const std::optional<QUuid> parsed = Uuid::parse(QStringView(wide.data(), Length));
    if (!parsed) {
        return fail(member, "is not a UUID");
    }
    *out = *parsed;
    return true;
}

bool StrictJsonObject::optionalBool(std::size_t member, bool* out)
{
    if (presence(member) != Presence::Present) {
        return true;
    }
    if (m_values[member].get_bool().get(*out) != simdjson::SUCCESS) {
        return fail(member, "is not a boolean");
    }
    return true;
}

bool StrictJsonObject::array(std::size_t member, simdjson::dom::array* out)
{
    if (!m_seen[member]) {
        return fail(member, "is missing");
    }
    if (m_values[member].get_array().get(*out) != simdjson::SUCCESS) {
        return fail(member, "is not an array");
    }
    return true;
}

bool StrictJsonObject::invalid(std::size_t member)
{
    return fail(member, "has a value outside its form");
}

bool StrictJsonObject::array(
    simdjson::dom::element value, simdjson::dom::array* out, QString* error)
{
    if (value.get_array().get(*out) != simdjson::SUCCESS) {
        return failWith(error, QStringLiteral("an array was expected"));
    }
    return true;
}

bool StrictJsonObject::fail(std::size_t member, const char* problem)
{
    return failWith(m_error,
        QLatin1Char('"') +
            QLatin1String(m_names[member].data(), qsizetype(m_names[member].size())) +
            QStringLiteral("\" ") + QLatin1String(problem));
}
