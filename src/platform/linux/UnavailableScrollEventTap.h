#pragma once

// The scroll tap on Linux until the evdev/uinput tap is wired in: it reports the grants the
// machine really gives (a readable /dev/input/event node, a writable /dev/uinput) and refuses
// every install, so the mouse model says the wheel processing is off instead of pretending.

#include "platform/ScrollEventTap.h"

#include <QString>

class UnavailableScrollEventTap final : public ScrollEventTap
{
public:
    explicit UnavailableScrollEventTap(QString inputDirectory = QStringLiteral("/dev/input"),
        QString uinputPath = QStringLiteral("/dev/uinput"));

    Access access() const override;
    // Linux has no prompt for this grant; the user changes the device's group or udev rules.
    void requestInputMonitoringAccess() override { }
    bool install(Location, Handler) override { return false; }
    void remove() override { }

private:
    QString m_inputDirectory;
    QString m_uinputPath;
};
