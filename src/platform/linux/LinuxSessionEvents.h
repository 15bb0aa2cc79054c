#pragma once

// The session resuming, from D-Bus: logind's PrepareForSleep(false) and a session's Unlock on
// the system bus, and org.freedesktop.ScreenSaver's ActiveChanged(false) on the session bus.
// Signals are matched from any sender and path, so a test bus can stand in for the system's.
// Without a bus nothing is announced.

#include "platform/SessionEvents.h"

class LinuxSessionEvents final : public SessionEvents
{
    Q_OBJECT

public:
    explicit LinuxSessionEvents(QObject* parent = nullptr);

private Q_SLOTS:
    void prepareForSleep(bool starting);
    void screenSaverActiveChanged(bool active);
    void unlocked();
};
