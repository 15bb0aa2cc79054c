#include "SoftwareUpdateVersion.h"

#include <QList>

#include <algorithm>

namespace {

enum class PartType
{
    Number,
    Period,
    Letters
};

struct Part
{
    PartType type;
    QString text;
};

PartType typeOf(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
        return PartType::Number;
    }
    return c == QLatin1Char('.') ? PartType::Period : PartType::Letters;
}

QList<Part> split(const QString& version)
{
    QList<Part> parts;
    for (const QChar c : version) {
        // White space separates as a period does.
        const PartType type = c.isSpace() ? PartType::Period : typeOf(c);
        // Every period is a part of its own, so "1..2" keeps its empty component.
        if (!parts.isEmpty() && parts.last().type == type && type != PartType::Period) {
            parts.last().text.append(c);
        } else {
            parts.append({type, QString(c)});
        }
    }
    return parts;
}

int compareNumbers(const QString& a, const QString& b)
{
    // Compared as digit strings, so that no length of number overflows.
    const auto significant = [](const QString& digits) {
        qsizetype first = 0;
        while (first < digits.size() - 1 && digits.at(first) == QLatin1Char('0')) {
            ++first;
        }
        return digits.mid(first);
    };
    const QString x = significant(a);
    const QString y = significant(b);
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    return x.compare(y);
}

bool isZeroOrPeriod(const Part& part)
{
    return part.type == PartType::Period ||
        (part.type == PartType::Number && compareNumbers(part.text, QStringLiteral("0")) == 0);
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

int SoftwareUpdateVersion::compare(const QString& a, const QString& b)
{
    const QList<Part> partsA = split(a);
    const QList<Part> partsB = split(b);
    const qsizetype common = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Part& x = partsA.at(i);
        const Part& y = partsB.at(i);
        if (x.type == y.type) {
            const int result = x.type == PartType::Number ? compareNumbers(x.text, y.text)
                : x.type == PartType::Letters             ? sign(x.text.compare(y.text))
                                                          : 0;
            if (result != 0) {
                return result;
            }
            continue;
        }
        // Letters mark a pre-release: anything else at the same place is newer. Between a
        // number and a period, the number is the newer (1.2.1 against 1.2.b).
        if (y.type == PartType::Letters) {
            return 1;
        }
        if (x.type == PartType::Letters) {
            return -1;
        }
        return x.type == PartType::Number ? 1 : -1;
    }
    const QList<Part>& longer = partsA.size() > partsB.size() ? partsA : partsB;
    const int longerSign = partsA.size() > partsB.size() ? 1 : -1;
    // Zeros add nothing (1.2.0 is 1.2); past them, a pre-release suffix makes the longer one
    // older (1.2.0b1 < 1.2) and a further number makes it newer.
    const auto rest = longer.mid(common);
    const auto decisive = std::find_if_not(rest.cbegin(), rest.cend(), isZeroOrPeriod);
    if (decisive == rest.cend()) {
        return 0;
    }
    return decisive->type == PartType::Letters ? -longerSign : longerSign;
}
