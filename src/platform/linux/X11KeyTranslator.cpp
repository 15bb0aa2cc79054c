#include "X11KeyTranslator.h"

#include "platform/KeyCodes.h"

#include <utility>

namespace {

constexpr quint32 keypadFirst = 0xff80;
constexpr quint32 keypadLast = 0xffbd;

// Modifier and lock keys without a shortcut meaning: Caps Lock, Num Lock, AltGr and the like.
bool isOtherModifier(quint32 keysym)
{
    return (keysym >= 0xffe1 && keysym <= 0xffee) || (keysym >= 0xfe01 && keysym <= 0xfe13) ||
        keysym == 0xff7f;
}

double seconds(quint32 timeMs)
{
    return timeMs / 1000.0;
}

} // namespace

X11KeyTranslator::X11KeyTranslator(KeysymLookup lookup)
    : m_lookup(std::move(lookup))
{ }

void X11KeyTranslator::setHeldKeys(const QList<quint32>& keycodes)
{
    m_held.clear();
    for (const quint32 keycode : keycodes) {
        m_held.insert(keycode, true);
    }
}

quint32 X11KeyTranslator::modifierFlagOf(quint32 keycode) const
{
    return canonicalModifierFlagForKeysym(m_lookup(keycode).first);
}

quint64 X11KeyTranslator::modifierFlags() const
{
    quint64 flags = 0;
    for (auto it = m_held.cbegin(); it != m_held.cend(); ++it) {
        flags |= modifierFlagOf(it.key());
    }
    return flags;
}

std::optional<GlobalKeyEvent> X11KeyTranslator::press(quint32 keycode, quint32 timeMs)
{
    const bool wasHeld = m_held.contains(keycode);
    m_held.insert(keycode, true);
    GlobalKeyEvent event;
    event.modifierFlags = modifierFlags();
    event.timestamp = seconds(timeMs);
    if (modifierFlagOf(keycode) != 0) {
        if (wasHeld) {
            return std::nullopt; // a repeating modifier changes nothing
        }
        event.type = GlobalKeyEvent::Type::FlagsChanged;
        return event;
    }
    const Keysyms keysyms = m_lookup(keycode);
    if (isOtherModifier(keysyms.first)) {
        return std::nullopt;
    }
    const bool keypad = keysyms.second >= keypadFirst && keysyms.second <= keypadLast;
    event.type = GlobalKeyEvent::Type::KeyDown;
    event.keyCode = canonicalKeyCodeForKeysym(keypad ? keysyms.second : keysyms.first);
    event.isRepeat = wasHeld;
    event.charactersIgnoringModifiers = charactersForKeysym(keysyms.first);
    return event;
}

std::optional<GlobalKeyEvent> X11KeyTranslator::release(quint32 keycode, quint32 timeMs)
{
    if (!m_held.remove(keycode) || modifierFlagOf(keycode) == 0) {
        return std::nullopt;
    }
    GlobalKeyEvent event;
    event.type = GlobalKeyEvent::Type::FlagsChanged;
    event.modifierFlags = modifierFlags();
    event.timestamp = seconds(timeMs);
    return event;
}
