#include "KeyCodes.h"

#include <array>
#include <utility>

namespace {

using Entry = std::pair<int, std::uint16_t>;

// Keys of the main block, with the shifted symbols of the US layout on the key that prints
// them, and the navigation and function keys.
constexpr std::array mainKeys = {
    // clang-format off
    Entry {Qt::Key_A, 0}, Entry {Qt::Key_S, 1}, Entry {Qt::Key_D, 2}, Entry {Qt::Key_F, 3},
    Entry {Qt::Key_H, 4}, Entry {Qt::Key_G, 5}, Entry {Qt::Key_Z, 6}, Entry {Qt::Key_X, 7},
    Entry {Qt::Key_C, 8}, Entry {Qt::Key_V, 9}, Entry {Qt::Key_B, 11}, Entry {Qt::Key_Q, 12},
    Entry {Qt::Key_W, 13}, Entry {Qt::Key_E, 14}, Entry {Qt::Key_R, 15}, Entry {Qt::Key_Y, 16},
    Entry {Qt::Key_T, 17}, Entry {Qt::Key_O, 31}, Entry {Qt::Key_U, 32}, Entry {Qt::Key_I, 34},
    Entry {Qt::Key_P, 35}, Entry {Qt::Key_L, 37}, Entry {Qt::Key_J, 38}, Entry {Qt::Key_K, 40},
    Entry {Qt::Key_N, 45}, Entry {Qt::Key_M, 46},
    Entry {Qt::Key_1, 18}, Entry {Qt::Key_Exclam, 18},
    Entry {Qt::Key_2, 19}, Entry {Qt::Key_At, 19},
    Entry {Qt::Key_3, 20}, Entry {Qt::Key_NumberSign, 20},
    Entry {Qt::Key_4, 21}, Entry {Qt::Key_Dollar, 21},
    Entry {Qt::Key_6, 22}, Entry {Qt::Key_AsciiCircum, 22},
    Entry {Qt::Key_5, 23}, Entry {Qt::Key_Percent, 23},
    Entry {Qt::Key_Equal, 24}, Entry {Qt::Key_Plus, 24},
    Entry {Qt::Key_9, 25}, Entry {Qt::Key_ParenLeft, 25},
    Entry {Qt::Key_7, 26}, Entry {Qt::Key_Ampersand, 26},
    Entry {Qt::Key_Minus, 27}, Entry {Qt::Key_Underscore, 27},
    Entry {Qt::Key_8, 28}, Entry {Qt::Key_Asterisk, 28},
    Entry {Qt::Key_0, 29}, Entry {Qt::Key_ParenRight, 29},
    Entry {Qt::Key_BracketRight, 30}, Entry {Qt::Key_BraceRight, 30},
    Entry {Qt::Key_BracketLeft, 33}, Entry {Qt::Key_BraceLeft, 33},
    Entry {Qt::Key_Apostrophe, 39}, Entry {Qt::Key_QuoteDbl, 39},
    Entry {Qt::Key_Semicolon, 41}, Entry {Qt::Key_Colon, 41},
    Entry {Qt::Key_Backslash, 42}, Entry {Qt::Key_Bar, 42},
    Entry {Qt::Key_Comma, 43}, Entry {Qt::Key_Less, 43},
    Entry {Qt::Key_Slash, 44}, Entry {Qt::Key_Question, 44},
    Entry {Qt::Key_Period, 47}, Entry {Qt::Key_Greater, 47},
    Entry {Qt::Key_QuoteLeft, 50}, Entry {Qt::Key_AsciiTilde, 50},
    Entry {Qt::Key_Return, 36}, Entry {Qt::Key_Tab, 48}, Entry {Qt::Key_Backtab, 48},
    Entry {Qt::Key_Space, 49}, Entry {Qt::Key_Backspace, 51}, Entry {Qt::Key_Escape, 53},
    Entry {Qt::Key_Clear, 71}, Entry {Qt::Key_Enter, 76},
    Entry {Qt::Key_F1, 122}, Entry {Qt::Key_F2, 120}, Entry {Qt::Key_F3, 99},
    Entry {Qt::Key_F4, 118}, Entry {Qt::Key_F5, 96}, Entry {Qt::Key_F6, 97},
    Entry {Qt::Key_F7, 98}, Entry {Qt::Key_F8, 100}, Entry {Qt::Key_F9, 101},
    Entry {Qt::Key_F10, 109}, Entry {Qt::Key_F11, 103}, Entry {Qt::Key_F12, 111},
    Entry {Qt::Key_Home, 115}, Entry {Qt::Key_PageUp, 116}, Entry {Qt::Key_Delete, 117},
    Entry {Qt::Key_End, 119}, Entry {Qt::Key_PageDown, 121},
    Entry {Qt::Key_Left, 123}, Entry {Qt::Key_Right, 124}, Entry {Qt::Key_Down, 125},
    Entry {Qt::Key_Up, 126},
    // clang-format on
};

// The keypad's own keys. Its navigation keys (NumLock off) keep the codes of the keys they
// stand for, so they are not listed here.
constexpr std::array keypadKeys = {
    // clang-format off
    Entry {Qt::Key_Period, 65}, Entry {Qt::Key_Comma, 65}, Entry {Qt::Key_Asterisk, 67},
    Entry {Qt::Key_Plus, 69}, Entry {Qt::Key_Clear, 71}, Entry {Qt::Key_Slash, 75},
    Entry {Qt::Key_Enter, 76}, Entry {Qt::Key_Minus, 78}, Entry {Qt::Key_Equal, 81},
    Entry {Qt::Key_0, 82}, Entry {Qt::Key_1, 83}, Entry {Qt::Key_2, 84}, Entry {Qt::Key_3, 85},
    Entry {Qt::Key_4, 86}, Entry {Qt::Key_5, 87}, Entry {Qt::Key_6, 88}, Entry {Qt::Key_7, 89},
    Entry {Qt::Key_8, 91}, Entry {Qt::Key_9, 92},
    // clang-format on
};

// X keysyms of the first column: Latin-1 keysyms are their character's code point.
constexpr std::array keysymKeys = {
    // clang-format off
    Entry {'a', 0}, Entry {'s', 1}, Entry {'d', 2}, Entry {'f', 3}, Entry {'h', 4},
    Entry {'g', 5}, Entry {'z', 6}, Entry {'x', 7}, Entry {'c', 8}, Entry {'v', 9},
    Entry {'b', 11}, Entry {'q', 12}, Entry {'w', 13}, Entry {'e', 14}, Entry {'r', 15},
    Entry {'y', 16}, Entry {'t', 17}, Entry {'o', 31}, Entry {'u', 32}, Entry {'i', 34},
    Entry {'p', 35}, Entry {'l', 37}, Entry {'j', 38}, Entry {'k', 40}, Entry {'n', 45},
    Entry {'m', 46},
    Entry {'1', 18}, Entry {'2', 19}, Entry {'3', 20}, Entry {'4', 21}, Entry {'6', 22},
    Entry {'5', 23}, Entry {'9', 25}, Entry {'7', 26}, Entry {'8', 28}, Entry {'0', 29},
    Entry {'=', 24}, Entry {'-', 27}, Entry {']', 30}, Entry {'[', 33}, Entry {'\'', 39},
    Entry {';', 41}, Entry {'\\', 42}, Entry {',', 43}, Entry {'/', 44}, Entry {'.', 47},
    Entry {'`', 50}, Entry {' ', 49},
    Entry {0xff0d, 36}, Entry {0xff09, 48}, Entry {0xfe20, 48}, Entry {0xff08, 51},
    Entry {0xff1b, 53}, Entry {0xffff, 117}, Entry {0xff0b, 71},
    Entry {0xff50, 115}, Entry {0xff55, 116}, Entry {0xff57, 119}, Entry {0xff56, 121},
    Entry {0xff51, 123}, Entry {0xff53, 124}, Entry {0xff54, 125}, Entry {0xff52, 126},
    Entry {0xffbe, 122}, Entry {0xffbf, 120}, Entry {0xffc0, 99}, Entry {0xffc1, 118},
    Entry {0xffc2, 96}, Entry {0xffc3, 97}, Entry {0xffc4, 98}, Entry {0xffc5, 100},
    Entry {0xffc6, 101}, Entry {0xffc7, 109}, Entry {0xffc8, 103}, Entry {0xffc9, 111},
    // The keypad: operators, Enter, the digits and the decimal point.
    Entry {0xffae, 65}, Entry {0xffac, 65}, Entry {0xffaa, 67}, Entry {0xffab, 69},
    Entry {0xffaf, 75}, Entry {0xff8d, 76}, Entry {0xffad, 78}, Entry {0xffbd, 81},
    Entry {0xffb0, 82}, Entry {0xffb1, 83}, Entry {0xffb2, 84}, Entry {0xffb3, 85},
    Entry {0xffb4, 86}, Entry {0xffb5, 87}, Entry {0xffb6, 88}, Entry {0xffb7, 89},
    Entry {0xffb8, 91}, Entry {0xffb9, 92},
    // clang-format on
};

constexpr std::array keysymModifiers = {
    // clang-format off
    Entry {0xffe1, ModifierFlag::shift >> 16}, Entry {0xffe2, ModifierFlag::shift >> 16},
    Entry {0xffe3, ModifierFlag::control >> 16}, Entry {0xffe4, ModifierFlag::control >> 16},
    Entry {0xffe7, ModifierFlag::option >> 16}, Entry {0xffe8, ModifierFlag::option >> 16},
    Entry {0xffe9, ModifierFlag::option >> 16}, Entry {0xffea, ModifierFlag::option >> 16},
    Entry {0xffeb, ModifierFlag::command >> 16}, Entry {0xffec, ModifierFlag::command >> 16},
    // clang-format on
};

template<std::size_t N>
std::optional<std::uint16_t> find(const std::array<Entry, N>& table, int qtKey)
{
    for (const auto& [key, code] : table) {
        if (key == qtKey) {
            return code;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint16_t> canonicalKeyCode(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const auto code = find(keypadKeys, qtKey)) {
            return code;
        }
    }
    return find(mainKeys, qtKey);
}

quint32 canonicalModifierFlags(Qt::KeyboardModifiers modifiers)
{
    quint32 flags = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        flags |= ModifierFlag::shift;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        flags |= ModifierFlag::control;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        flags |= ModifierFlag::option;
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        flags |= ModifierFlag::command;
    }
    return flags;
}

std::optional<std::uint16_t> canonicalKeyCodeForKeysym(quint32 keysym)
{
    // Upper-case Latin letters name the same keys as the lower-case ones.
    if (keysym >= 'A' && keysym <= 'Z') {
        keysym += 'a' - 'A';
    }
    return find(keysymKeys, static_cast<int>(keysym));
}

quint32 canonicalModifierFlagForKeysym(quint32 keysym)
{
    const auto flag = find(keysymModifiers, static_cast<int>(keysym));
    return flag ? quint32(*flag) << 16 : 0;
}

QString charactersForKeysym(quint32 keysym)
{
    // Latin-1 keysyms are their code points; 0x01000000 + U is Unicode U.
    char32_t codePoint = 0;
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
        codePoint = keysym;
    } else if ((keysym & 0xff000000) == 0x01000000) {
        codePoint = keysym & 0x00ffffff;
    }
    return codePoint == 0 ? QString() : QString::fromUcs4(&codePoint, 1);
}

QString charactersIgnoringModifiers(std::uint16_t code)
{
    for (const auto& [keysym, keyCode] : keysymKeys) {
        if (keyCode == code && keysym > ' ' && keysym <= '~') {
            return QString(QChar(keysym));
        }
    }
    return {};
}
