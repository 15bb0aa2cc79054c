#include "HidUtilCommand.h"

#include "HidPropertyState.h"

#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>

#include <cmath>

namespace {

std::optional<QJsonObject> jsonObject(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

bool belongsTo(const PointerProperties::Pointer& pointer, const HidPointingDevice& device)
{
    if (!pointer.deviceNode.isEmpty()) {
        return pointer.deviceNode == device.eventNode;
    }
    return pointer.productID == std::pair(device.vendorID, device.productID);
}

} // namespace

HidUtilCommand::HidUtilCommand(const SysfsPointingDevices& devices, PointerProperties& pointers,
    QString statePath, QIODevice& out, QIODevice& err)
    : m_devices(devices)
    , m_pointers(pointers)
    , m_statePath(std::move(statePath))
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
    if (command == QLatin1String("property")) {
        return property(arguments.mid(1));
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
    m_out.write(listing(m_devices));
    return 0;
}

QByteArray HidUtilCommand::listing(const SysfsPointingDevices& devices)
{
    QByteArray lines;
    for (const HidPointingDevice& device : devices.scan()) {
        lines += device.jsonLine() + '\n';
    }
    return lines;
}

InProcessCommand HidUtilCommand::inProcessListing(const QString& helperPath)
{
    return {{helperPath, QStringLiteral("list"), QStringLiteral("--matching"),
                QStringLiteral("mouse"), QStringLiteral("--ndjson")},
        [helperPath]() -> std::optional<ToolOutput> {
            if (!QFileInfo(helperPath).isExecutable()) {
                return std::nullopt;
            }
            return ToolOutput {listing(SysfsPointingDevices::fromEnvironment())};
        }};
}

int HidUtilCommand::property(const QStringList& arguments)
{
    const QString action = arguments.value(2);
    if (arguments.size() != 4 || arguments[0] != QLatin1String("--matching") ||
        (action != QLatin1String("--get") && action != QLatin1String("--set"))) {
        return fail(
            QStringLiteral("property takes: --matching <json> (--get <name> | --set <json>)"), 2);
    }
    const auto matching = jsonObject(arguments[1]);
    if (!matching) {
        return fail(QStringLiteral("--matching: not a JSON object: %1").arg(arguments[1]));
    }
    QList<Write> writes;
    if (action == QLatin1String("--set")) {
        const auto values = jsonObject(arguments[3]);
        if (!values) {
            return fail(QStringLiteral("--set: not a JSON object: %1").arg(arguments[3]));
        }
        QString error;
        if (!parseWrites(*values, &writes, &error)) {
            return fail(error);
        }
    }
    QString error;
    const auto devices = matchingDevices(*matching, &error);
    if (!devices) {
        return fail(error);
    }
    if (action == QLatin1String("--set") && writes.isEmpty()) {
        return 0;
    }
    const auto found = targets(*devices, &error);
    if (!found) {
        return fail(error);
    }
    return action == QLatin1String("--set") ? set(*found, writes) : get(*found, arguments[3]);
}

int HidUtilCommand::get(const QList<Target>& targets, const QString& name)
{
    const auto mapping = HidPropertyMapping::forName(name);
    if (!mapping) {
        return fail(QStringLiteral("cannot read \"%1\"; see --help").arg(name));
    }
    const HidPropertyState state(m_statePath);
    QByteArray lines;
    for (const Target& target : targets) {
        const auto items = m_pointers.property(target.pointer, mapping->xName());
        if (!items) {
            continue;
        }
        auto raw = state.rawValue(target.stateKey, name, *items);
        if (!raw) {
            raw = mapping->rawValue(*items);
        }
        if (raw) {
            lines += QStringLiteral("%1  %2  %3\n")
                         .arg(target.pointer, -10)
                         .arg(name, -22)
                         .arg(*raw)
                         .toUtf8();
        }
    }
    if (lines.isEmpty()) {
        return fail(
            QStringLiteral("no matching pointer has a readable \"%1\"").arg(mapping->xName()));
    }
    m_out.write(QStringLiteral("%1  %2  Value\n")
                    .arg(QStringLiteral("RegistryID"), -10)
                    .arg(QStringLiteral("Key"), -22)
                    .toUtf8() +
        lines);
    return 0;
}

bool HidUtilCommand::parseWrites(const QJsonObject& values, QList<Write>* writes, QString* error)
{
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const double number = it.value().toDouble(qQNaN());
        if (!std::isfinite(number) || number != std::floor(number)) {
            *error = QStringLiteral("\"%1\" needs an integer value").arg(it.key());
            return false;
        }
        if (const auto mapping = HidPropertyMapping::forName(it.key())) {
            writes->append({*mapping, static_cast<qint64>(number)});
        } else if (!HidPropertyMapping::isAcceptedWithoutEffect(it.key())) {
            *error = QStringLiteral("cannot set \"%1\"; see --help").arg(it.key());
            return false;
        }
    }
    return true;
}

int HidUtilCommand::set(const QList<Target>& targets, const QList<Write>& writes)
{
    HidPropertyState state(m_statePath);
    for (const auto& [mapping, raw] : std::as_const(writes)) {
        bool written = false;
        for (const Target& target : targets) {
            const auto current = m_pointers.property(target.pointer, mapping.xName());
            if (!current) {
                continue;
            }
            QString error;
            const QList<double> items = mapping.xValues(raw, *current);
            if (!m_pointers.setProperty(target.pointer, mapping.xName(), items, &error)) {
                return fail(error);
            }
            state.remember(target.stateKey, mapping.hidName(), raw,
                m_pointers.property(target.pointer, mapping.xName()).value_or(items));
            written = true;
        }
        if (!written) {
            return fail(QStringLiteral("no matching pointer has \"%1\"").arg(mapping.xName()));
        }
    }
    QString error;
    if (!state.save(&error)) {
        return fail(QStringLiteral("the values were set but cannot be kept in %1: %2")
                        .arg(m_statePath, error));
    }
    return 0;
}

auto HidUtilCommand::matchingDevices(const QJsonObject& matching, QString* error) const
    -> std::optional<QList<HidPointingDevice>>
{
    QList<HidPointingDevice> devices = m_devices.scan();
    devices.removeIf(
        [&matching](const HidPointingDevice& device) { return !device.matches(matching); });
    if (devices.isEmpty()) {
        *error =
            QStringLiteral("no device matches %1")
                .arg(QString::fromUtf8(QJsonDocument(matching).toJson(QJsonDocument::Compact)));
        return std::nullopt;
    }
    return devices;
}

auto HidUtilCommand::targets(const QList<HidPointingDevice>& devices, QString* error)
    -> std::optional<QList<Target>>
{
    const auto pointers = m_pointers.pointers(error);
    if (!pointers) {
        return std::nullopt;
    }
    QList<Target> found;
    for (const HidPointingDevice& device : devices) {
        for (const PointerProperties::Pointer& pointer : *pointers) {
            if (belongsTo(pointer, device)) {
                found.append({pointer.id, device.key() + QLatin1Char(' ') + pointer.name});
            }
        }
    }
    if (found.isEmpty()) {
        *error = QStringLiteral("no X input device belongs to the matching device");
        return std::nullopt;
    }
    return found;
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
        "       norvale-hidutil property --matching <json> --get <name>\n"
        "       norvale-hidutil property --matching <json> --set <json>\n"
        "\n"
        "list prints the pointing devices the kernel knows, one JSON object per line, with\n"
        "the keys VendorID, ProductID, LocationID, Transport, Product, Manufacturer,\n"
        "PrimaryUsagePage and PrimaryUsage. Mice and pointing sticks have usage page 1, usage\n"
        "2; touchpads (13, 5), touchscreens (13, 4) and tablets (13, 2) their digitizer\n"
        "usages. Devices made through uinput have the transport \"Virtual\" and say so in their\n"
        "name. LocationID: for USB the bus number in the top byte and one nibble per port, for\n"
        "Bluetooth the low 32 bits of the device address, otherwise 0.\n"
        "\n"
        "property addresses the devices whose listed keys equal every key of --matching, and\n"
        "through them the X server's pointers of the same event node (\"Device Node\"), or of\n"
        "the same vendor and product (\"Device Product ID\") where a pointer names no node.\n"
        "--get prints a header line and one \"<X device id>  <name>  <value>\" line per\n"
        "pointer; --set takes integer values. The HID values map onto libinput's properties:\n"
        "  HIDPointerAcceleration  \"libinput Accel Speed\" = (value - 65536) / 65536,\n"
        "                          clamped to -1...1; read as 65536 x (1 + speed)\n"
        "  HIDMouseAcceleration    \"libinput Accel Profile Enabled\": adaptive when the\n"
        "                          value is above 0, else flat; read as 45056 (adaptive) or 0\n"
        "  HIDScrollAcceleration, HIDMouseScrollAcceleration: accepted by --set, no effect\n"
        "                          (libinput has no scroll acceleration)\n"
        "The values written are kept (in $XDG_RUNTIME_DIR/Norvale/hidutil.json, else in the\n"
        "cache folder's Norvale/hidutil.json), and --get returns them for as long as the\n"
        "pointer still holds what that write left there.\n"
        "\n"
        "Environment:\n"
        "  NORVALE_HIDUTIL_ROOT  file-system root under which sys/class/input and\n"
        "                        run/udev/data are read (default \"/\"), for tests.\n"
        "  DISPLAY               the X server whose pointers property reads and writes.\n");
}
