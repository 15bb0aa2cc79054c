#pragma once

// The two actions a global shortcut can be bound to, in the order recognition tries them: the
// quick panel at the pointer first, then applying the saved window positions.

#include <QHash>
#include <QtGlobal>

#include <array>

enum class ShortcutSlot
{
    LeftClickMenu,
    WindowPlacementApply
};

inline constexpr std::array allShortcutSlots = {
    ShortcutSlot::LeftClickMenu, ShortcutSlot::WindowPlacementApply};

// The key of the double-tap memory: one first press per slot and tapped modifier.
struct ShortcutSlotModifierKey
{
    ShortcutSlot slot = ShortcutSlot::LeftClickMenu;
    quint64 modifierRawValue = 0;

    friend bool operator==(
        const ShortcutSlotModifierKey&, const ShortcutSlotModifierKey&) = default;
};

inline size_t qHash(const ShortcutSlotModifierKey& key, size_t seed = 0) noexcept
{
    return qHashMulti(seed, static_cast<int>(key.slot), key.modifierRawValue);
}
