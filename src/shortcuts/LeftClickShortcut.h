#pragma once

// A global shortcut: a key with modifiers, a double tap of one modifier, or two or more
// modifiers pressed together. The quick panel's shortcut and window placement's apply-now
// shortcut are stored in this form (JSON bytes in the defaults store), the shortcut recorder
// produces it and the application's recognition compares key events against it.
//
// Only the four shortcut modifiers take part (shift, control, option, command: the mask
// 0x1e0000); every comparison masks first, so Caps Lock and the keypad flag never matter. Key
// codes are the canonical virtual key codes of platform/KeyCodes.h.
//
// The JSON form is an object with "kind", "keyCode", "characters", "modifiersRawValue" and
// "primaryModifierRawValue", the absent optional members omitted, written compactly in that
// order. Reading takes the members in any order; a wrong type, a number out of range or an
// unknown kind spoils the document, and null stands for an absent optional member.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

enum class LeftClickShortcutKind
{
    KeyCombination,
    ModifierDoubleTap,
    ModifierCombination
};

QString leftClickShortcutKindName(LeftClickShortcutKind kind);
std::optional<LeftClickShortcutKind> leftClickShortcutKindFromName(const QString& name);

namespace ShortcutModifiers {
inline constexpr quint64 mask = 0x1e0000;

inline constexpr quint64 masked(quint64 flags)
{
    return flags & mask;
}
// How many of the four shortcut modifiers are set (0 to 4).
int allowedModifierCount(quint64 flags);
// That modifier when exactly one of the four is set.
std::optional<quint64> singleAllowedModifier(quint64 flags);
// "⌃ ⇧ ⌥ ⌘", the set ones in that order, joined by one blank; empty when none.
QString modifierDisplayText(quint64 flags);
} // namespace ShortcutModifiers

struct LeftClickShortcut
{
    LeftClickShortcutKind kind = LeftClickShortcutKind::KeyCombination;
    std::optional<std::uint16_t> keyCode;
    std::optional<QString> characters;
    quint64 modifiersRawValue = 0;
    std::optional<quint64> primaryModifierRawValue;

    friend bool operator==(const LeftClickShortcut&, const LeftClickShortcut&) = default;

    // None when the masked modifiers or the trimmed characters are empty.
    static std::optional<LeftClickShortcut> keyCombination(
        std::uint16_t keyCode, const QString& characters, quint64 modifiers);
    // None when fewer than two shortcut modifiers are set.
    static std::optional<LeftClickShortcut> modifierCombination(quint64 flags);
    static LeftClickShortcut modifierDoubleTap(quint64 modifier);

    QString displayText() const;

    QByteArray toJson() const;
    static std::optional<LeftClickShortcut> fromJson(const QByteArray& json);
};

// The key's name in the key-name table, else the upper-cased characters, else "Key <code>".
QString keyDisplayText(
    const std::optional<QString>& characters, std::optional<std::uint16_t> keyCode);
// The names of the 91 keys that have one, by canonical key code.
const QHash<std::uint16_t, QString>& keyCodeDisplayNames();
