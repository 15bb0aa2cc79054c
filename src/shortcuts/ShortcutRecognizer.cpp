#include "ShortcutRecognizer.h"

#include <utility>

namespace {

bool isKeyCombinationHit(const LeftClickShortcut& shortcut, const GlobalKeyEvent& event)
{
    return shortcut.kind == LeftClickShortcutKind::KeyCombination &&
        event.type == GlobalKeyEvent::Type::KeyDown && !event.isRepeat && shortcut.keyCode &&
        event.keyCode == shortcut.keyCode &&
        ShortcutModifiers::masked(event.modifierFlags) ==
        ShortcutModifiers::masked(shortcut.modifiersRawValue);
}

} // namespace

ShortcutRecognizer::ShortcutRecognizer(Fire fire)
    : m_fire(std::move(fire))
{ }

void ShortcutRecognizer::configure(const QHash<ShortcutSlot, LeftClickShortcut>& shortcuts)
{
    m_shortcuts = shortcuts;
    m_lastShortcutModifiers = 0;
    m_lastModifierTap.clear();
    m_activeModifierCombinationSlots.clear();
}

GlobalKeyEvent::Types ShortcutRecognizer::eventTypes() const
{
    GlobalKeyEvent::Types types;
    for (const LeftClickShortcut& shortcut : m_shortcuts) {
        types |= shortcut.kind == LeftClickShortcutKind::KeyCombination
            ? GlobalKeyEvent::Type::KeyDown
            : GlobalKeyEvent::Type::FlagsChanged;
    }
    return types;
}

bool ShortcutRecognizer::handle(const GlobalKeyEvent& event, bool paused)
{
    bool handled = false;
    if (!paused) {
        for (const ShortcutSlot slot : allShortcutSlots) {
            const auto found = m_shortcuts.constFind(slot);
            if (found != m_shortcuts.constEnd() && handleSlot(found.value(), slot, event)) {
                handled = true;
                break;
            }
        }
    }
    updateModifierState(event);
    return handled;
}

bool ShortcutRecognizer::matchesKeyCombination(const GlobalKeyEvent& event) const
{
    return std::any_of(
        m_shortcuts.cbegin(), m_shortcuts.cend(), [&event](const LeftClickShortcut& shortcut) {
            return isKeyCombinationHit(shortcut, event);
        });
}

bool ShortcutRecognizer::handleSlot(
    const LeftClickShortcut& shortcut, ShortcutSlot slot, const GlobalKeyEvent& event)
{
    switch (shortcut.kind) {
    case LeftClickShortcutKind::KeyCombination:
        if (isKeyCombinationHit(shortcut, event)) {
            m_fire(slot);
            return true;
        }
        return false;
    case LeftClickShortcutKind::ModifierDoubleTap:
        return event.type == GlobalKeyEvent::Type::FlagsChanged &&
            shortcut.primaryModifierRawValue &&
            handleDoubleTap(
                ShortcutModifiers::masked(*shortcut.primaryModifierRawValue), event, slot);
    case LeftClickShortcutKind::ModifierCombination:
        return event.type == GlobalKeyEvent::Type::FlagsChanged &&
            handleCombination(ShortcutModifiers::masked(shortcut.modifiersRawValue), event, slot);
    }
    return false;
}

bool ShortcutRecognizer::handleDoubleTap(
    quint64 target, const GlobalKeyEvent& event, ShortcutSlot slot)
{
    if (ShortcutModifiers::masked(event.modifierFlags) != target) {
        return false;
    }
    if ((m_lastShortcutModifiers & target) == target) {
        return false; // still held: the release of another key, not a new press
    }
    const ShortcutSlotModifierKey key {slot, target};
    const auto first = m_lastModifierTap.constFind(key);
    if (first != m_lastModifierTap.constEnd() &&
        event.timestamp - first.value() <= modifierDoubleTapInterval) {
        m_lastModifierTap.erase(first);
        m_fire(slot);
        return true;
    }
    m_lastModifierTap.insert(key, event.timestamp);
    return false;
}

bool ShortcutRecognizer::handleCombination(
    quint64 target, const GlobalKeyEvent& event, ShortcutSlot slot)
{
    if (ShortcutModifiers::masked(event.modifierFlags) != target) {
        m_activeModifierCombinationSlots.remove(slot);
        return false;
    }
    if (m_activeModifierCombinationSlots.contains(slot)) {
        return false; // still held since it fired
    }
    m_activeModifierCombinationSlots.insert(slot);
    m_fire(slot);
    return true;
}

void ShortcutRecognizer::updateModifierState(const GlobalKeyEvent& event)
{
    if (event.type != GlobalKeyEvent::Type::FlagsChanged) {
        return;
    }
    const quint64 current = ShortcutModifiers::masked(event.modifierFlags);
    if (ShortcutModifiers::allowedModifierCount(current) == 0) {
        m_activeModifierCombinationSlots.clear();
    }
    m_lastShortcutModifiers = current;
}
