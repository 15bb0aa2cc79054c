#pragma once

// Canonical key codes: the hardware-independent virtual key codes that the stored shortcuts
// and the key tables of the quick panel are written in (the codes of the US ANSI layout, so a
// shortcut file means the same key on every machine). Qt's key events are translated here, in
// one table, so that no view compares Qt::Key values with these numbers itself.
//
// A Qt key names the produced symbol, not the physical key: "!" comes from the key of "1" with
// Shift, so shifted symbols of the US layout map back to the key that prints them. Digits,
// operators and Enter from the keypad (Qt::KeypadModifier) have keypad codes of their own.
//
// Modifier flags: shift 0x20000, control 0x40000, option 0x80000, command 0x100000. On Linux
// "option" is Alt and "command" is the Super key (Qt's Meta).
//
// X keysyms (the global key monitor reads keys from the X server) are translated by a second
// table: the keysym of a key's first column names the physical key as the US layout prints it,
// so "a" is code 0 and "1" code 18; keypad keysyms have keypad codes.

#include <QString>
#include <Qt>

#include <cstdint>
#include <optional>

namespace KeyCode {
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t deleteKey = 51;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t keypadEnter = 76;
inline constexpr std::uint16_t leftArrow = 123;
inline constexpr std::uint16_t rightArrow = 124;
inline constexpr std::uint16_t downArrow = 125;
inline constexpr std::uint16_t upArrow = 126;
} // namespace KeyCode

namespace ModifierFlag {
inline constexpr quint32 shift = 0x20000;
inline constexpr quint32 control = 0x40000;
inline constexpr quint32 option = 0x80000;
inline constexpr quint32 command = 0x100000;
} // namespace ModifierFlag

// The canonical code of a Qt key, or none for keys without one (modifiers alone, media keys).
std::optional<std::uint16_t> canonicalKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);
quint32 canonicalModifierFlags(Qt::KeyboardModifiers modifiers);

// The canonical code of an X keysym, or none.
std::optional<std::uint16_t> canonicalKeyCodeForKeysym(quint32 keysym);
// The modifier flag of a modifier key's keysym (Shift, Control, Alt or Meta as option, Super as
// command), 0 for any other keysym (Caps Lock and AltGr included).
quint32 canonicalModifierFlagForKeysym(quint32 keysym);
// What a Latin-1 or Unicode keysym types; empty for the others (function and keypad keys).
QString charactersForKeysym(quint32 keysym);
// What the key of a canonical code types without modifiers ("1" for the key of "!"); empty for
// keys that type nothing there (function, navigation and keypad keys).
QString charactersIgnoringModifiers(std::uint16_t code);
