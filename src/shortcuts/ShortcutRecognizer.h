#pragma once

// Recognises the configured shortcuts in a stream of global key events. Each slot has at most
// one shortcut; a recognised shortcut fires its slot through the callback. The slots are tried
// in their order (the quick panel first) and the first that takes an event ends the search.
//
// - A key combination fires on a key-down that is not an auto-repeat, whose key code is the
//   shortcut's and whose shortcut modifiers are exactly the shortcut's.
// - A double tap fires on the second new press of the modifier, alone, within 0.45 s of the
//   first; a press that is too late counts as a new first press, so three quick presses fire
//   once. A flags change that leaves the modifier held (another key released) is no new press.
// - A modifier combination fires once when exactly its modifiers are held, and again only after
//   the flags changed away from it.
//
// While recognition is paused (the shortcut recorder is recording, a synthetic paste is in
// flight) only the modifier tracking goes on, so that a press already in progress is not taken
// for a new one afterwards. configure() starts from scratch: tap and combination memory go.

#include "LeftClickShortcut.h"
#include "ShortcutSlot.h"
#include "platform/GlobalKeyMonitor.h"

#include <QHash>
#include <QSet>

#include <functional>
#include <optional>

class ShortcutRecognizer final
{
public:
    static constexpr double modifierDoubleTapInterval = 0.45;

    using Fire = std::function<void(ShortcutSlot)>;
    explicit ShortcutRecognizer(Fire fire);

    void configure(const QHash<ShortcutSlot, LeftClickShortcut>& shortcuts);
    // The kinds of events the configured shortcuts need; empty when none is configured.
    GlobalKeyEvent::Types eventTypes() const;
    // True when the event was taken by a slot's shortcut.
    bool handle(const GlobalKeyEvent& event, bool paused);
    // Whether a key-down is one of the configured key combinations (for swallowing it in our
    // own windows), without changing any state.
    bool matchesKeyCombination(const GlobalKeyEvent& event) const;

private:
    bool handleSlot(
        const LeftClickShortcut& shortcut, ShortcutSlot slot, const GlobalKeyEvent& event);
    bool handleDoubleTap(quint64 target, const GlobalKeyEvent& event, ShortcutSlot slot);
    bool handleCombination(quint64 target, const GlobalKeyEvent& event, ShortcutSlot slot);
    void updateModifierState(const GlobalKeyEvent& event);

    Fire m_fire;
    QHash<ShortcutSlot, LeftClickShortcut> m_shortcuts;
    quint64 m_lastShortcutModifiers = 0;
    QHash<ShortcutSlotModifierKey, double> m_lastModifierTap;
    QSet<ShortcutSlot> m_activeModifierCombinationSlots;
};
