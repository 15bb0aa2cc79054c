#pragma once

// The one date format of the quick panel's rows and grid items: "yyyy/MM/dd HH:mm:ss" in
// Japan's time, whatever the machine's zone, with Western digits. A system without the
// Asia/Tokyo zone data shows the system zone's time instead (still a time the user can read,
// rather than none). The zone is looked up once, on first use.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace ClipboardHistoryDateFormatting {

QString string(const QDateTime& dateTime);
// The zone for a zone id: that zone when the system knows it, else the system's own zone.
QTimeZone zoneOrSystem(const QByteArray& zoneID);
QString string(const QDateTime& dateTime, const QTimeZone& zone);

} // namespace ClipboardHistoryDateFormatting
