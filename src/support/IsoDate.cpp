#include "IsoDate.h"

namespace IsoDate {

namespace {

struct Fields
{
    int year, month, day, hour, minute, second;
};

std::optional<Fields> utcFields(const QDateTime& dateTime)
{
    if (!dateTime.isValid()) {
        return std::nullopt;
    }
    const QDateTime utc = dateTime.toUTC();
    const QDate date = utc.date();
    const QTime time = utc.time();
    // Fractions of a second are dropped, not rounded: a rounded time could move into the
    // next day or year.
    return Fields {
        date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

int digits(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

QString format(const QDateTime& dateTime)
{
    const auto f = utcFields(dateTime);
    if (!f) {
        return {};
    }
    return QString::asprintf(
        "%04d-%02d-%02dT%02d:%02d:%02dZ", f->year, f->month, f->day, f->hour, f->minute, f->second);
}

std::optional<QDateTime> parse(QStringView text)
{
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' ||
        text[13] != u':' || text[16] != u':' || text[19] != u'Z') {
        return std::nullopt;
    }
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    // QTime rejects hour 24 and second 60.
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, Qt::UTC);
}

QString compactStamp(const QDateTime& dateTime)
{
    const auto f = utcFields(dateTime);
    if (!f) {
        return {};
    }
    return QString::asprintf(
        "%04d%02d%02dT%02d%02d%02d", f->year, f->month, f->day, f->hour, f->minute, f->second);
}

} // namespace IsoDate
