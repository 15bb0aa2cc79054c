#include "FixedPhraseOrdering.h"

QString FixedPhraseOrdering::nextTitle(const QString& base, const QSet<QString>& titles)
{
    if (!titles.contains(base)) {
        return base;
    }
    for (qint64 number = 2;; ++number) {
        QString candidate = base + QLatin1Char(' ') + QString::number(number);
        if (!titles.contains(candidate)) {
            return candidate;
        }
    }
}
