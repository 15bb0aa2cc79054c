#include "SysfsPointingDevices.h"

#include "platform/linux/SysfsInputLocation.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <climits>

namespace {

using SysfsInputLocation::hexValue;
using SysfsInputLocation::readText;

// Linux input-event codes (linux/input-event-codes.h).
constexpr int EvKey = 0x01;
constexpr int EvRel = 0x02;
constexpr int EvAbs = 0x03;
constexpr int AxisX = 0x00;
constexpr int AxisY = 0x01;
constexpr int BtnLeft = 0x110;
constexpr int BtnToolPen = 0x140;
constexpr int BtnToolFinger = 0x145;
constexpr int BtnTouch = 0x14a;
constexpr int BtnStylus = 0x14b;
constexpr int PropDirect = 0x01;

// Bus types (linux/input.h).
constexpr int BusUsb = 0x03;
constexpr int BusBluetooth = 0x05;

const QHash<int, QString>& transportNames()
{
    static const QHash<int, QString> names {{BusUsb, QStringLiteral("USB")},
        {BusBluetooth, QStringLiteral("Bluetooth")}, {0x06, QStringLiteral("Virtual")},
        {0x11, QStringLiteral("PS/2")}, {0x18, QStringLiteral("I2C")},
        {0x1c, QStringLiteral("SPI")}};
    return names;
}

std::optional<QString> nonEmpty(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// A capability file: hexadecimal words of the kernel's long, most significant first.
class Bits final
{
public:
    explicit Bits(const QString& text)
        : m_words(text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
    { }

    bool has(int bit) const
    {
        constexpr int WordBits = sizeof(long) * CHAR_BIT;
        const qsizetype index = m_words.size() - 1 - bit / WordBits;
        if (index < 0) {
            return false;
        }
        return (m_words[index].toULongLong(nullptr, 16) >> (bit % WordBits)) & 1U;
    }

private:
    QStringList m_words;
};

// The "E:KEY=VALUE" lines of a udev database record.
QHash<QString, QString> udevProperties(const QString& path)
{
    QHash<QString, QString> properties;
    const QStringList lines = readText(path).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1String("E:")) && equals > 2) {
            properties.insert(line.mid(2, equals - 2), line.mid(equals + 1));
        }
    }
    return properties;
}

std::optional<HidPointingDevice::Kind> kindFromUdev(const QHash<QString, QString>& properties)
{
    using Kind = HidPointingDevice::Kind;
    const auto isSet = [&properties](const char* key) {
        return properties.value(QLatin1String(key)) == QLatin1String("1");
    };
    if (isSet("ID_INPUT_TOUCHPAD")) {
        return Kind::Touchpad;
    }
    if (isSet("ID_INPUT_TABLET")) {
        return Kind::Tablet;
    }
    if (isSet("ID_INPUT_TOUCHSCREEN")) {
        return Kind::Touchscreen;
    }
    if (isSet("ID_INPUT_MOUSE") || isSet("ID_INPUT_POINTINGSTICK")) {
        return Kind::Mouse;
    }
    return std::nullopt;
}

// The same decisions udev's input_id makes, for systems without a udev database.
std::optional<HidPointingDevice::Kind> kindFromCapabilities(const QString& input)
{
    using Kind = HidPointingDevice::Kind;
    const Bits events(readText(input + QStringLiteral("/capabilities/ev")));
    const Bits keys(readText(input + QStringLiteral("/capabilities/key")));
    const Bits relative(readText(input + QStringLiteral("/capabilities/rel")));
    const Bits absolute(readText(input + QStringLiteral("/capabilities/abs")));
    const Bits properties(readText(input + QStringLiteral("/properties")));
    const bool leftButton = events.has(EvKey) && keys.has(BtnLeft);
    if (events.has(EvRel) && relative.has(AxisX) && relative.has(AxisY)) {
        return leftButton ? std::optional(Kind::Mouse) : std::nullopt;
    }
    if (!events.has(EvAbs) || !absolute.has(AxisX) || !absolute.has(AxisY)) {
        return std::nullopt;
    }
    if (keys.has(BtnToolPen) || keys.has(BtnStylus)) {
        return Kind::Tablet;
    }
    if (keys.has(BtnToolFinger) && !properties.has(PropDirect)) {
        return Kind::Touchpad;
    }
    if (keys.has(BtnTouch) || properties.has(PropDirect)) {
        return Kind::Touchscreen;
    }
    return leftButton ? std::optional(Kind::Mouse) : std::nullopt;
}

} // namespace

SysfsPointingDevices::SysfsPointingDevices(QString root)
    : m_root(std::move(root))
{ }

SysfsPointingDevices SysfsPointingDevices::fromEnvironment()
{
    const QString root = qEnvironmentVariable("NORVALE_HIDUTIL_ROOT", QStringLiteral("/"));
    return SysfsPointingDevices(root == QLatin1String("/") ? QString() : root);
}

QList<HidPointingDevice> SysfsPointingDevices::scan() const
{
    QStringList names = QDir(m_root + QStringLiteral("/sys/class/input"))
                            .entryList({QStringLiteral("input*")},
                                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    QCollator numeric {QLocale(QLocale::English)};
    numeric.setNumericMode(true);
    std::sort(names.begin(), names.end(), numeric);
    QList<HidPointingDevice> devices;
    for (const QString& name : std::as_const(names)) {
        if (auto device = read(name)) {
            devices.append(*device);
        }
    }
    return devices;
}

std::optional<HidPointingDevice> SysfsPointingDevices::read(const QString& inputName) const
{
    const QString input =
        QFileInfo(m_root + QStringLiteral("/sys/class/input/") + inputName).canonicalFilePath();
    if (input.isEmpty()) {
        return std::nullopt;
    }
    const QStringList events =
        QDir(input).entryList({QStringLiteral("event*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    const QString event = events.value(0);
    const QString udevData = m_root + QStringLiteral("/run/udev/data/");
    QString udevRecord = udevData + QStringLiteral("+input:") + inputName;
    if (!QFileInfo::exists(udevRecord) && !event.isEmpty()) {
        udevRecord = udevData + QLatin1Char('c') +
            readText(input + QLatin1Char('/') + event + QStringLiteral("/dev"));
    }
    const auto kind = QFileInfo::exists(udevRecord) ? kindFromUdev(udevProperties(udevRecord))
                                                    : kindFromCapabilities(input);
    if (!kind) {
        return std::nullopt;
    }

    HidPointingDevice device;
    device.kind = *kind;
    device.vendorID = hexValue(readText(input + QStringLiteral("/id/vendor")));
    device.productID = hexValue(readText(input + QStringLiteral("/id/product")));
    const int bus = static_cast<int>(hexValue(readText(input + QStringLiteral("/id/bustype"))));
    device.transport = transportNames().value(bus);
    device.product = nonEmpty(readText(input + QStringLiteral("/name")));
    if (!event.isEmpty()) {
        device.eventNode = QStringLiteral("/dev/input/") + event;
    }

    const QString devices = QFileInfo(m_root + QStringLiteral("/sys/devices")).canonicalFilePath();
    if (input.startsWith(devices + QStringLiteral("/virtual/input/"))) {
        const QString name = device.product.value_or(QString());
        device.transport = QStringLiteral("Virtual");
        if (!name.contains(QLatin1String("virtual"), Qt::CaseInsensitive)) {
            device.product =
                name.isEmpty() ? QStringLiteral("Virtual") : name + QStringLiteral(" (Virtual)");
        }
    } else {
        device.locationID = SysfsInputLocation::locationID(input, devices);
        const QString usbDevice =
            bus == BusUsb ? SysfsInputLocation::usbDeviceAbove(input, devices) : QString();
        if (!usbDevice.isEmpty()) {
            if (auto product = nonEmpty(readText(usbDevice + QStringLiteral("/product")))) {
                device.product = product;
            }
            device.manufacturer = nonEmpty(readText(usbDevice + QStringLiteral("/manufacturer")));
        }
    }
    return device;
}
