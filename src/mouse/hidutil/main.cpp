// norvale-hidutil: the HID utility the mouse feature runs on Linux (see --help).

#include "HidUtilCommand.h"
#include "XInputPointerProperties.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

namespace {

// The written values live as long as the X session's device settings do: in the runtime
// folder where there is one.
QString statePath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    }
    return folder + QStringLiteral("/Norvale/hidutil.json");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly)) {
        return 1;
    }
    const SysfsPointingDevices devices = SysfsPointingDevices::fromEnvironment();
    XInputPointerProperties pointers;
    return HidUtilCommand(devices, pointers, statePath(), out, err)
        .run(application.arguments().mid(1));
}
