#pragma once

// Dates in files are ISO 8601 in UTC with whole seconds: exactly YYYY-MM-DDTHH:MM:SSZ.
// Qt's own ISO parser also accepts fractions and missing zones, so the form is checked first.

#include <QDateTime>
#include <QStringView>

#include <optional>

namespace IsoDate {

QString format(const QDateTime& dateTime);
std::optional<QDateTime> parse(QStringView text);
// For file names: yyyyMMddTHHmmss in UTC.
QString compactStamp(const QDateTime& dateTime);

} // namespace IsoDate
