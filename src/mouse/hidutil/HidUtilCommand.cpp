#include "HidUtilCommand.h"

#include <QIODevice>

HidUtilCommand::HidUtilCommand(const SysfsPointingDevices& devices, QIODevice& out, QIODevice& err)
    : m_devices(devices)
    , m_out(out)
    , m_err(err)
{ }

int HidUtilCommand::run(const QStringList& arguments)
{
    const QString command = arguments.value(0);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        m_out.write(helpText().toUtf8());
        return 0;
    }
    if (command == QLatin1String("list")) {
        return list(arguments.mid(1));
    }
    return fail(QStringLiteral("unknown command \"%1\"; see --help").arg(command), 2);
}

int HidUtilCommand::list(const QStringList& arguments)
{
    if (arguments !=
        QStringList {
            QStringLiteral("--matching"), QStringLiteral("mouse"), QStringLiteral("--ndjson")}) {
        return fail(QStringLiteral("list takes exactly: --matching mouse --ndjson"), 2);
    }
    const QList<HidPointingDevice> devices = m_devices.scan();
    for (const HidPointingDevice& device : devices) {
        m_out.write(device.jsonLine() + '\n');
    }
    return 0;
}

int HidUtilCommand::fail(const QString& message, int code)
{
    m_err.write(QStringLiteral("norvale-hidutil: %1\n").arg(message).toUtf8());
    return code;
}

QString HidUtilCommand::helpText()
{
    return QStringLiteral(
        "Usage: norvale-hidutil list --matching mouse --ndjson\n"
        "\n"
        "Lists the pointing devices the kernel knows, one JSON object per line, with the keys\n"
        "VendorID, ProductID, LocationID, Transport, Product, Manufacturer, PrimaryUsagePage\n"
        "and PrimaryUsage. Mice and pointing sticks have usage page 1, usage 2; touchpads\n"
        "(13, 5), touchscreens (13, 4) and tablets (13, 2) have their digitizer usages.\n"
        "Devices made through uinput have the transport \"Virtual\" and say so in their name.\n"
        "LocationID: for USB the bus number in the top byte and one nibble per port, for\n"
        "Bluetooth the low 32 bits of the device address, otherwise 0.\n"
        "\n"
        "Environment:\n"
        "  NORVALE_HIDUTIL_ROOT  file-system root under which sys/class/input and\n"
        "                        run/udev/data are read (default \"/\"), for tests.\n");
}
