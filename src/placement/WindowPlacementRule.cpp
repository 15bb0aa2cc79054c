#include "WindowPlacementRule.h"

#include <QTimeZone>

namespace PlacementDates {

double secondsSinceReferenceDate(const QDateTime& dateTime)
{
    static const qint64 reference =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    return static_cast<double>(dateTime.toMSecsSinceEpoch() - reference) / 1000.0;
}

} // namespace PlacementDates

QString displayedWindowTitle(const QString& title)
{
    return title.isEmpty() ? QStringLiteral("(無題)") : title;
}
