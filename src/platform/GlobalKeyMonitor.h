#pragma once

// Key events observed system-wide, in canonical form, without taking any key away from the
// application that has the focus. Two kinds of events: a key going down (with its canonical
// key code, whether it is an auto-repeat, its characters ignoring modifiers and the modifier
// flags held), and the modifier flags changing (a modifier key going down or up). Timestamps
// are seconds on the event source's own clock: only differences between them mean anything.
//
// A monitor delivers only the kinds it was installed for, on the main thread, until removed.

#include <QFlags>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

struct GlobalKeyEvent
{
    enum class Type
    {
        KeyDown = 0x1,
        FlagsChanged = 0x2
    };
    Q_DECLARE_FLAGS(Types, Type)

    Type type = Type::KeyDown;
    // None for a key without a canonical code.
    std::optional<std::uint16_t> keyCode;
    bool isRepeat = false;
    QString charactersIgnoringModifiers;
    // Canonical flags (shift 0x20000, control 0x40000, option 0x80000, command 0x100000) as
    // they are after the event.
    quint64 modifierFlags = 0;
    double timestamp = 0;

    friend bool operator==(const GlobalKeyEvent&, const GlobalKeyEvent&) = default;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(GlobalKeyEvent::Types)

class GlobalKeyMonitor : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False where the session lets no client observe keys system-wide (Wayland, an X server
    // without XInput2); install() then delivers nothing.
    virtual bool isAvailable() const = 0;
    // Delivers the given kinds from now on (a second install replaces the first).
    virtual void install(GlobalKeyEvent::Types types) = 0;
    virtual void remove() = 0;

Q_SIGNALS:
    void keyEvent(const GlobalKeyEvent& event);
};
