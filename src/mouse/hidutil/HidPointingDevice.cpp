#include "HidPointingDevice.h"

#include "support/JsonWriter.h"

namespace {

constexpr int GenericDesktopPage = 1;
constexpr int MouseUsage = 2;
constexpr int DigitizerPage = 0x0d;
constexpr int PenUsage = 0x02;
constexpr int TouchScreenUsage = 0x04;
constexpr int TouchPadUsage = 0x05;

} // namespace

int HidPointingDevice::primaryUsagePage() const
{
    return kind == Kind::Mouse ? GenericDesktopPage : DigitizerPage;
}

int HidPointingDevice::primaryUsage() const
{
    switch (kind) {
    case Kind::Mouse:
        return MouseUsage;
    case Kind::Touchpad:
        return TouchPadUsage;
    case Kind::Touchscreen:
        return TouchScreenUsage;
    case Kind::Tablet:
        return PenUsage;
    }
    return MouseUsage;
}

QJsonObject HidPointingDevice::properties() const
{
    QJsonObject object {{QStringLiteral("VendorID"), vendorID},
        {QStringLiteral("ProductID"), productID}, {QStringLiteral("LocationID"), locationID},
        {QStringLiteral("PrimaryUsagePage"), primaryUsagePage()},
        {QStringLiteral("PrimaryUsage"), primaryUsage()}};
    const auto addText = [&object](const char* key, const std::optional<QString>& text) {
        if (text) {
            object.insert(QLatin1String(key), *text);
        }
    };
    addText("Transport", transport);
    addText("Product", product);
    addText("Manufacturer", manufacturer);
    return object;
}

QByteArray HidPointingDevice::jsonLine() const
{
    JsonWriter writer(JsonWriter::Style::Compact);
    writer.beginObject();
    const auto number = [&writer](QStringView key, qint64 value) {
        writer.key(key);
        writer.value(value);
    };
    const auto text = [&writer](QStringView key, const std::optional<QString>& value) {
        if (value) {
            writer.key(key);
            writer.value(*value);
        }
    };
    number(u"VendorID", vendorID);
    number(u"ProductID", productID);
    number(u"LocationID", locationID);
    text(u"Transport", transport);
    text(u"Product", product);
    text(u"Manufacturer", manufacturer);
    number(u"PrimaryUsagePage", primaryUsagePage());
    number(u"PrimaryUsage", primaryUsage());
    writer.endObject();
    writer.finish();
    return writer.result();
}

bool HidPointingDevice::matches(const QJsonObject& matching) const
{
    const QJsonObject listed = properties();
    for (auto it = matching.constBegin(); it != matching.constEnd(); ++it) {
        const QJsonValue value = listed.value(it.key());
        const bool equal = value.isDouble() && it.value().isDouble()
            ? value.toDouble() == it.value().toDouble()
            : !value.isUndefined() && value == it.value();
        if (!equal) {
            return false;
        }
    }
    return true;
}

QString HidPointingDevice::key() const
{
    return QStringLiteral("%1:%2:%3").arg(vendorID).arg(productID).arg(locationID);
}
