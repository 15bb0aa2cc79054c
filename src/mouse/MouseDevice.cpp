#include "MouseDevice.h"

#include "support/Text.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 LogitechVendorID = 1133;

bool isLogitechReceiver(const MouseDevice& device)
{
    return device.vendorID == LogitechVendorID && device.productName &&
        device.productName->compare(QLatin1String("USB Receiver"), Qt::CaseInsensitive) == 0;
}

bool isPresent(const std::optional<QString>& text)
{
    return text && !text->isEmpty();
}

std::optional<qint64> integerValue(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number != std::floor(number) || std::abs(number) > 9.0e15) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<QString> stringValue(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

void mergeText(std::optional<QString>& stored, const std::optional<QString>& line)
{
    if (!isPresent(stored)) {
        stored = line;
    }
}

bool isDropped(const MouseDevice& device)
{
    const QString product = device.productName.value_or(QString()).toLower();
    const QString maker = device.manufacturer.value_or(QString()).toLower();
    return (maker.contains(QLatin1String("apple")) &&
               product.contains(QLatin1String("trackpad"))) ||
        product.contains(QLatin1String("virtual")) || product.contains(QLatin1String("automouse"));
}

} // namespace

QString MouseDevice::id() const
{
    return QStringLiteral("%1:%2:%3").arg(vendorID).arg(productID).arg(locationID);
}

QString MouseDevice::displayName() const
{
    QString name = isPresent(productName) ? *productName : QStringLiteral("Unknown Mouse");
    if (isLogitechReceiver(*this)) {
        name = QStringLiteral("Logitech USB Receiver (MX系マウス)");
    }
    const QString transportText = isPresent(transport) ? *transport : QStringLiteral("N/A");
    if (isPresent(manufacturer)) {
        name += QStringLiteral(" / ") + *manufacturer;
    }
    return name +
        QStringLiteral(" (VID:0x%1, PID:0x%2, %3)")
            .arg(QString::number(vendorID, 16), QString::number(productID, 16), transportText);
}

QString MouseDevice::matchingJSON() const
{
    if (isLogitechReceiver(*this)) {
        return QStringLiteral("{\"VendorID\":%1,\"ProductID\":%2}").arg(vendorID).arg(productID);
    }
    return QStringLiteral("{\"VendorID\":%1,\"ProductID\":%2,\"LocationID\":%3}")
        .arg(vendorID)
        .arg(productID)
        .arg(locationID);
}

QList<MouseDevice> MouseDevice::parseDevices(const QString& output)
{
    QList<MouseDevice> merged;
    QHash<QString, qsizetype> indexByKey;
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8());
        const QJsonObject object = document.object();
        if (!document.isObject() || object.isEmpty()) {
            continue;
        }
        const auto usagePage = integerValue(object, "PrimaryUsagePage");
        const auto usage = integerValue(object, "PrimaryUsage");
        const auto vendor = integerValue(object, "VendorID");
        const auto product = integerValue(object, "ProductID");
        if (usagePage != 1 || usage != 2 || !vendor || !product) {
            continue;
        }
        const MouseDevice device {*vendor, *product, integerValue(object, "LocationID").value_or(0),
            stringValue(object, "Transport"), stringValue(object, "Product"),
            stringValue(object, "Manufacturer")};
        const QString key = device.id();
        const auto found = indexByKey.constFind(key);
        if (found == indexByKey.constEnd()) {
            indexByKey.insert(key, merged.size());
            merged.append(device);
            continue;
        }
        MouseDevice& stored = merged[*found];
        mergeText(stored.transport, device.transport);
        mergeText(stored.productName, device.productName);
        mergeText(stored.manufacturer, device.manufacturer);
    }
    merged.removeIf(isDropped);
    std::stable_sort(merged.begin(), merged.end(), [](const MouseDevice& a, const MouseDevice& b) {
        return Text::nameLess(a.displayName(), b.displayName());
    });
    return merged;
}
