#pragma once

// Global key events on X11: XInput2 raw key events selected on the root window of the
// platform's own X connection, for the master keyboards. Raw events reach every client that
// selects them whatever window has the focus and take nothing away: no key is grabbed, so other
// applications keep every key. Key codes are translated with the server's keyboard mapping
// (re-read when it changes) by X11KeyTranslator; the Super keys stand in for command.
//
// Without an X display or without XInput2 2.0 (a Wayland session without XWayland, say) the
// monitor is unavailable and delivers nothing; it never fails harder than that.

#include "platform/GlobalKeyMonitor.h"

#include <QList>

#include <memory>

class X11Connection;
class X11KeyTranslator;

class LinuxGlobalKeyMonitor final : public GlobalKeyMonitor
{
    Q_OBJECT

public:
    explicit LinuxGlobalKeyMonitor(QObject* parent = nullptr);
    ~LinuxGlobalKeyMonitor() override;

    bool isAvailable() const override { return m_xinputOpcode != 0; }
    void install(GlobalKeyEvent::Types types) override;
    void remove() override;

private:
    void selectRawKeys(bool on);
    void handle(const void* event);
    void readKeyboardMapping();
    QList<quint32> heldKeys() const;

    std::shared_ptr<X11Connection> m_x11;
    std::unique_ptr<X11KeyTranslator> m_translator;
    std::unique_ptr<QObject> m_subscription;
    quint8 m_xinputOpcode = 0;
    std::optional<GlobalKeyEvent::Types> m_types;
    quint32 m_minKeycode = 0;
    int m_keysymsPerKeycode = 0;
    QList<quint32> m_keysyms;
};
