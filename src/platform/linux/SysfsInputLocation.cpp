#include "SysfsInputLocation.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// Bus types (linux/input.h).
constexpr qint64 BusUsb = 0x03;
constexpr qint64 BusBluetooth = 0x05;

qint64 usbLocation(const QString& usbDevice)
{
    using SysfsInputLocation::readText;
    qint64 location = readText(usbDevice + QStringLiteral("/busnum")).toLongLong() << 24;
    int shift = 20;
    const QStringList ports =
        readText(usbDevice + QStringLiteral("/devpath")).split(QLatin1Char('.'));
    for (const QString& port : ports) {
        if (shift < 0) {
            break;
        }
        location |= (port.toLongLong() & 0xf) << shift;
        shift -= 4;
    }
    return location;
}

qint64 bluetoothLocation(const QString& address)
{
    QString digits = address;
    digits.remove(QLatin1Char(':'));
    return SysfsInputLocation::hexValue(digits.right(8));
}

} // namespace

QString SysfsInputLocation::readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).trimmed();
}

qint64 SysfsInputLocation::hexValue(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 16);
    return ok ? value : 0;
}

QString SysfsInputLocation::usbDeviceAbove(const QString& input, const QString& devices)
{
    for (QString dir = QFileInfo(input).path(); dir.startsWith(devices + QLatin1Char('/'));
         dir = QFileInfo(dir).path()) {
        if (QFileInfo::exists(dir + QStringLiteral("/busnum")) &&
            QFileInfo::exists(dir + QStringLiteral("/devpath"))) {
            return dir;
        }
    }
    return {};
}

qint64 SysfsInputLocation::locationID(const QString& input, const QString& devices)
{
    switch (hexValue(readText(input + QStringLiteral("/id/bustype")))) {
    case BusBluetooth:
        return bluetoothLocation(readText(input + QStringLiteral("/uniq")));
    case BusUsb:
        if (const QString usbDevice = usbDeviceAbove(input, devices); !usbDevice.isEmpty()) {
            return usbLocation(usbDevice);
        }
        return 0;
    default:
        return 0;
    }
}
