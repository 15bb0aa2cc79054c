#include "LinuxSessionEvents.h"

#include <QDBusConnection>

LinuxSessionEvents::LinuxSessionEvents(QObject* parent)
    : SessionEvents(parent)
{
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        system.connect(QString(), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(prepareForSleep(bool)));
        system.connect(QString(), QString(), QStringLiteral("org.freedesktop.login1.Session"),
            QStringLiteral("Unlock"), this, SLOT(unlocked()));
    }
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        session.connect(QString(), QString(), QStringLiteral("org.freedesktop.ScreenSaver"),
            QStringLiteral("ActiveChanged"), this, SLOT(screenSaverActiveChanged(bool)));
    }
}

void LinuxSessionEvents::prepareForSleep(bool starting)
{
    if (!starting) {
        Q_EMIT sessionResumed();
    }
}

void LinuxSessionEvents::screenSaverActiveChanged(bool active)
{
    if (!active) {
        Q_EMIT sessionResumed();
    }
}

void LinuxSessionEvents::unlocked()
{
    Q_EMIT sessionResumed();
}
