#include "LeftClickShortcut.h"

#include "platform/KeyCodes.h"
#include "support/JsonWriter.h"
#include "support/Text.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace {

struct ModifierSymbol
{
    quint64 flag;
    const char16_t* symbol;
};

// The display order, which is not the order of the bits.
constexpr std::array modifierSymbols = {ModifierSymbol {ModifierFlag::control, u"⌃"},
    ModifierSymbol {ModifierFlag::shift, u"⇧"}, ModifierSymbol {ModifierFlag::option, u"⌥"},
    ModifierSymbol {ModifierFlag::command, u"⌘"}};

const QString kindKey = QStringLiteral("kind");
const QString keyCodeKey = QStringLiteral("keyCode");
const QString charactersKey = QStringLiteral("characters");
const QString modifiersKey = QStringLiteral("modifiersRawValue");
const QString primaryModifierKey = QStringLiteral("primaryModifierRawValue");

// A JSON number that is a whole number within 0...maximum (doubles carry integers exactly up
// to 2^53, more than any flag set needs).
std::optional<quint64> unsignedValue(const QJsonValue& value, double maximum)
{
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number < 0 || number > maximum || std::trunc(number) != number) {
        return std::nullopt;
    }
    return static_cast<quint64>(number);
}

// Absent and null both leave the member absent; *ok turns false for any other wrong value.
std::optional<quint64> optionalUnsigned(
    const QJsonObject& object, const QString& key, double maximum, bool* ok)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    const auto number = unsignedValue(value, maximum);
    *ok = *ok && number.has_value();
    return number;
}

} // namespace

QString leftClickShortcutKindName(LeftClickShortcutKind kind)
{
    switch (kind) {
    case LeftClickShortcutKind::KeyCombination:
        return QStringLiteral("keyCombination");
    case LeftClickShortcutKind::ModifierDoubleTap:
        return QStringLiteral("modifierDoubleTap");
    case LeftClickShortcutKind::ModifierCombination:
        return QStringLiteral("modifierCombination");
    }
    return {};
}

std::optional<LeftClickShortcutKind> leftClickShortcutKindFromName(const QString& name)
{
    for (const auto kind :
        {LeftClickShortcutKind::KeyCombination, LeftClickShortcutKind::ModifierDoubleTap,
            LeftClickShortcutKind::ModifierCombination}) {
        if (leftClickShortcutKindName(kind) == name) {
            return kind;
        }
    }
    return std::nullopt;
}

int ShortcutModifiers::allowedModifierCount(quint64 flags)
{
    return std::popcount(masked(flags));
}

std::optional<quint64> ShortcutModifiers::singleAllowedModifier(quint64 flags)
{
    if (allowedModifierCount(flags) != 1) {
        return std::nullopt;
    }
    return masked(flags);
}

QString ShortcutModifiers::modifierDisplayText(quint64 flags)
{
    QStringList symbols;
    for (const ModifierSymbol& entry : modifierSymbols) {
        if ((flags & entry.flag) != 0) {
            symbols.append(QString::fromUtf16(entry.symbol));
        }
    }
    return symbols.join(QLatin1Char(' '));
}

std::optional<LeftClickShortcut> LeftClickShortcut::keyCombination(
    std::uint16_t keyCode, const QString& characters, quint64 modifiers)
{
    const QString trimmedCharacters = Text::trimmed(characters);
    const quint64 shortcutModifiers = ShortcutModifiers::masked(modifiers);
    if (shortcutModifiers == 0 || trimmedCharacters.isEmpty()) {
        return std::nullopt;
    }
    LeftClickShortcut shortcut;
    shortcut.kind = LeftClickShortcutKind::KeyCombination;
    shortcut.keyCode = keyCode;
    shortcut.characters = trimmedCharacters.toUpper();
    shortcut.modifiersRawValue = shortcutModifiers;
    return shortcut;
}

std::optional<LeftClickShortcut> LeftClickShortcut::modifierCombination(quint64 flags)
{
    if (ShortcutModifiers::allowedModifierCount(flags) < 2) {
        return std::nullopt;
    }
    LeftClickShortcut shortcut;
    shortcut.kind = LeftClickShortcutKind::ModifierCombination;
    shortcut.modifiersRawValue = ShortcutModifiers::masked(flags);
    return shortcut;
}

LeftClickShortcut LeftClickShortcut::modifierDoubleTap(quint64 modifier)
{
    LeftClickShortcut shortcut;
    shortcut.kind = LeftClickShortcutKind::ModifierDoubleTap;
    shortcut.modifiersRawValue = modifier;
    shortcut.primaryModifierRawValue = modifier;
    return shortcut;
}

QString LeftClickShortcut::displayText() const
{
    switch (kind) {
    case LeftClickShortcutKind::KeyCombination:
        return QString(ShortcutModifiers::modifierDisplayText(modifiersRawValue) +
            QLatin1Char(' ') + keyDisplayText(characters, keyCode))
            .trimmed();
    case LeftClickShortcutKind::ModifierDoubleTap:
        return ShortcutModifiers::modifierDisplayText(
                   primaryModifierRawValue.value_or(modifiersRawValue)) +
            QStringLiteral(" double tap");
    case LeftClickShortcutKind::ModifierCombination:
        return ShortcutModifiers::modifierDisplayText(modifiersRawValue);
    }
    return {};
}

QByteArray LeftClickShortcut::toJson() const
{
    JsonWriter writer(JsonWriter::Style::Compact);
    writer.beginObject();
    writer.key(kindKey);
    writer.value(leftClickShortcutKindName(kind));
    if (keyCode) {
        writer.key(keyCodeKey);
        writer.value(static_cast<qint64>(*keyCode));
    }
    if (characters) {
        writer.key(charactersKey);
        writer.value(*characters);
    }
    writer.key(modifiersKey);
    writer.value(static_cast<qint64>(modifiersRawValue));
    if (primaryModifierRawValue) {
        writer.key(primaryModifierKey);
        writer.value(static_cast<qint64>(*primaryModifierRawValue));
    }
    writer.endObject();
    writer.finish();
    return writer.result();
}

std::optional<LeftClickShortcut> LeftClickShortcut::fromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    constexpr double uint64Limit = 9007199254740992.0; // 2^53: beyond it doubles lose integers
    LeftClickShortcut shortcut;
    const auto kind = leftClickShortcutKindFromName(object.value(kindKey).toString());
    const auto modifiers = unsignedValue(object.value(modifiersKey), uint64Limit);
    if (!object.value(kindKey).isString() || !kind || !modifiers) {
        return std::nullopt;
    }
    shortcut.kind = *kind;
    shortcut.modifiersRawValue = *modifiers;
    bool ok = true;
    if (const auto code =
            optionalUnsigned(object, keyCodeKey, std::numeric_limits<std::uint16_t>::max(), &ok)) {
        shortcut.keyCode = static_cast<std::uint16_t>(*code);
    }
    shortcut.primaryModifierRawValue =
        optionalUnsigned(object, primaryModifierKey, uint64Limit, &ok);
    const QJsonValue characters = object.value(charactersKey);
    if (characters.isString()) {
        shortcut.characters = characters.toString();
    } else if (!characters.isUndefined() && !characters.isNull()) {
        ok = false;
    }
    return ok ? std::optional(shortcut) : std::nullopt;
}

QString keyDisplayText(
    const std::optional<QString>& characters, std::optional<std::uint16_t> keyCode)
{
    if (keyCode) {
        const auto found = keyCodeDisplayNames().constFind(*keyCode);
        if (found != keyCodeDisplayNames().constEnd()) {
            return found.value();
        }
    }
    if (characters && !characters->isEmpty()) {
        return characters->toUpper();
    }
    if (keyCode) {
        return QStringLiteral("Key ") + QString::number(*keyCode);
    }
    return {};
}

const QHash<std::uint16_t, QString>& keyCodeDisplayNames()
{
    static const QHash<std::uint16_t, QString> names = [] {
        // The character keys by the character printed on the US ANSI key.
        constexpr std::array<std::pair<std::uint16_t, char>, 47> characterKeys = {{
            // clang-format off
            {0, 'A'}, {1, 'S'}, {2, 'D'}, {3, 'F'}, {4, 'H'}, {5, 'G'}, {6, 'Z'}, {7, 'X'},
            {8, 'C'}, {9, 'V'}, {11, 'B'}, {12, 'Q'}, {13, 'W'}, {14, 'E'}, {15, 'R'},
            {16, 'Y'}, {17, 'T'}, {18, '1'}, {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'},
            {23, '5'}, {24, '='}, {25, '9'}, {26, '7'}, {27, '-'}, {28, '8'}, {29, '0'},
            {30, ']'}, {31, 'O'}, {32, 'U'}, {33, '['}, {34, 'I'}, {35, 'P'}, {37, 'L'},
            {38, 'J'}, {39, '\''}, {40, 'K'}, {41, ';'}, {42, '\\'}, {43, ','}, {44, '/'},
            {45, 'N'}, {46, 'M'}, {47, '.'}, {50, '`'},
            // clang-format on
        }};
        constexpr std::array<std::pair<std::uint16_t, const char*>, 44> namedKeys = {{
            // clang-format off
            {36, "Return"}, {48, "Tab"}, {49, "Space"}, {51, "Delete"}, {53, "Esc"},
            {65, "Num ."}, {67, "Num *"}, {69, "Num +"}, {71, "Num Clear"}, {75, "Num /"},
            {76, "Num Enter"}, {78, "Num -"}, {81, "Num ="}, {82, "Num 0"}, {83, "Num 1"},
            {84, "Num 2"}, {85, "Num 3"}, {86, "Num 4"}, {87, "Num 5"}, {88, "Num 6"},
            {89, "Num 7"}, {91, "Num 8"}, {92, "Num 9"}, {96, "F5"}, {97, "F6"}, {98, "F7"},
            {99, "F3"}, {100, "F8"}, {101, "F9"}, {103, "F11"}, {109, "F10"}, {111, "F12"},
            {115, "Home"}, {116, "PageUp"}, {117, "Fwd Delete"}, {118, "F4"}, {119, "End"},
            {120, "F2"}, {121, "PageDown"}, {122, "F1"}, {123, "←"}, {124, "→"},
            {125, "↓"}, {126, "↑"},
            // clang-format on
        }};
        QHash<std::uint16_t, QString> table;
        for (const auto& [code, character] : characterKeys) {
            table.insert(code, QString(QLatin1Char(character)));
        }
        for (const auto& [code, name] : namedKeys) {
            table.insert(code, QString::fromUtf8(name));
        }
        return table;
    }();
    return names;
}
