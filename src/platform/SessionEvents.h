#pragma once

// The user's session coming back: the screen saver stopped, the screen was unlocked, or the
// computer woke from sleep. On Linux these are logind's PrepareForSleep(false), the session's
// Unlock and org.freedesktop.ScreenSaver's ActiveChanged(false) over D-Bus; without D-Bus
// nothing is ever announced.

#include <QObject>

class SessionEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SessionEvents() override = default;

Q_SIGNALS:
    void sessionResumed();
};
