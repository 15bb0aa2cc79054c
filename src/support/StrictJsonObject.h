#pragma once

// The members of one JSON object that a reader knows, taken strictly: a known member that
// appears twice spoils the object (no writer of ours produces it and there is no telling which
// value was meant), every value must have its exact JSON type, and members nobody knows are
// ignored (the parser has already checked them). Required members must be present and not
// null; optional ones may be absent or null, which both leave the caller's default. Strings
// come out at their exact size with every character kept, a leading U+FEFF included.
//
// A failure leaves a short English reason in the error string given at construction.

#include <QString>
#include <QUuid>

#include <array>
#include <cstddef>
#include <optional>
#include <simdjson.h>
#include <span>
#include <string_view>

class StrictJsonObject final
{
public:
    static constexpr std::size_t MaximumMembers = 8;

    // names: the members the caller knows, addressed by their index. error may be null.
    StrictJsonObject(std::span<const std::string_view> names, QString* error);

    // Fails when value is not an object or a known member appears twice.
    bool read(simdjson::dom::element value);

    bool string(std::size_t member, QString* out);
    bool optionalString(std::size_t member, std::optional<QString>* out);
    bool optionalUtf8(std::size_t member, std::optional<std::string_view>* out);
    // The canonical 8-4-4-4-12 form, hexadecimal digits in either case.
    bool uuid(std::size_t member, QUuid* out);
    bool optionalBool(std::size_t member, bool* out);
    bool array(std::size_t member, simdjson::dom::array* out);

    // For a value the caller found wrong itself (a date or a name outside its set).
    bool invalid(std::size_t member);

    // A top-level array; the same error conventions.
    static bool array(simdjson::dom::element value, simdjson::dom::array* out, QString* error);

private:
    enum class Presence
    {
        Absent,
        Null,
        Present
    };
    Presence presence(std::size_t member) const;
    bool requiredString(std::size_t member, std::string_view* out);
    bool fail(std::size_t member, const char* problem);

    std::span<const std::string_view> m_names;
    QString* m_error;
    std::array<simdjson::dom::element, MaximumMembers> m_values;
    std::array<bool, MaximumMembers> m_seen {};
};
