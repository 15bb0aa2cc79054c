#pragma once

// The command lines of the HID helper, in the form the mouse feature runs its HID utility:
//   list --matching mouse --ndjson
//   property --matching <json> --get <name>
//   property --matching <json> --set <json>
// Output goes to out, errors to err with a non-zero exit code; nothing here touches a display
// or the real /sys directly, so the whole command set runs against test doubles.

#include "SysfsPointingDevices.h"

#include <QStringList>

class QIODevice;

class HidUtilCommand final
{
public:
    HidUtilCommand(const SysfsPointingDevices& devices, QIODevice& out, QIODevice& err);

    // Exit code: 0 on success, 1 on a failure, 2 on a command line that is not understood.
    int run(const QStringList& arguments);

    static QString helpText();

private:
    int list(const QStringList& arguments);
    int fail(const QString& message, int code = 1);

    const SysfsPointingDevices& m_devices;
    QIODevice& m_out;
    QIODevice& m_err;
};
