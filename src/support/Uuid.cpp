#include "Uuid.h"

namespace Uuid {

namespace {

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

QString toText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parse(QStringView text)
{
    // QUuid::fromString also takes braces and yields a null UUID for garbage, which is
    // indistinguishable from the valid all-zero UUID: check the form here.
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (dashPosition ? c != u'-' : !isHexDigit(c)) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(text);
}

QUuid create()
{
    return QUuid::createUuid();
}

} // namespace Uuid
