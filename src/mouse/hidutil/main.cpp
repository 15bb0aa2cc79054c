// norvale-hidutil: the HID utility the mouse feature runs on Linux (see --help).

#include "HidUtilCommand.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly)) {
        return 1;
    }
    const QString root = qEnvironmentVariable("NORVALE_HIDUTIL_ROOT", QStringLiteral("/"));
    const SysfsPointingDevices devices(root == QLatin1String("/") ? QString() : root);
    return HidUtilCommand(devices, out, err).run(application.arguments().mid(1));
}
