#include "ClipboardHistoryDateFormatting.h"

#include <QLocale>

namespace ClipboardHistoryDateFormatting {

QTimeZone zoneOrSystem(const QByteArray& zoneID)
{
    QTimeZone zone(zoneID);
    return zone.isValid() ? zone : QTimeZone::systemTimeZone();
}

QString string(const QDateTime& dateTime, const QTimeZone& zone)
{
    // The C locale: the pattern's digits and separators, never a locale's own numerals.
    return QLocale::c().toString(dateTime.toTimeZone(zone), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString string(const QDateTime& dateTime)
{
    static const QTimeZone zone = zoneOrSystem(QByteArrayLiteral("Asia/Tokyo"));
    return string(dateTime, zone);
}

} // namespace ClipboardHistoryDateFormatting
