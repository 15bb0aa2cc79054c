#pragma once

// Turns the X server's raw key presses and releases (key codes only: raw events carry no
// modifier state) into canonical global key events. It keeps the set of keys held, so it
// knows the modifier flags after each event and tells an auto-repeat (a press of a key already
// down) from a new press. A modifier key going down or up gives a flags-changed event, also
// when the flags stay the same (the second Shift key); Caps Lock, AltGr and keys without a
// modifier meaning give none. Other keys give a key-down on their press.

#include "platform/GlobalKeyMonitor.h"

#include <QHash>

#include <functional>
#include <optional>

class X11KeyTranslator final
{
public:
    // The keysym of a key code's first column and, for keypad keys, of its second (the digit
    // with NumLock on, which names the keypad key whatever the NumLock state).
    struct Keysyms
    {
        quint32 first = 0;
        quint32 second = 0;
    };
    using KeysymLookup = std::function<Keysyms(quint32 keycode)>;

    explicit X11KeyTranslator(KeysymLookup lookup);

    // Keys already held when observation starts.
    void setHeldKeys(const QList<quint32>& keycodes);
    // timeMs is the server's millisecond time of the event.
    std::optional<GlobalKeyEvent> press(quint32 keycode, quint32 timeMs);
    std::optional<GlobalKeyEvent> release(quint32 keycode, quint32 timeMs);

private:
    quint64 modifierFlags() const;
    quint32 modifierFlagOf(quint32 keycode) const;

    KeysymLookup m_lookup;
    QHash<quint32, bool> m_held; // key code -> held
};
