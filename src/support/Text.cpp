#include "Text.h"

#include <QChar>
#include <QCollator>
#include <QLocale>
#include <QTextBoundaryFinder>

#include <optional>

namespace Text {

bool isWhiteSpaceOrLineBreak(char32_t c)
{
    // QChar::isSpace is the Unicode separators (Zs, Zl, Zp: U+0020, U+00A0, U+1680,
    // U+2000..U+200A, U+2028, U+2029, U+202F, U+205F, U+3000) plus the controls U+0009..U+000D
    // and U+0085: exactly "white space and line breaks".
    return c <= 0x10ffff && QChar::isSpace(c);
}

bool isLineBreak(char32_t c)
{
    switch (c) {
    case 0x000a: // LF
    case 0x000b: // VT
    case 0x000c: // FF
    case 0x000d: // CR
    case 0x0085: // NEL
    case 0x2028: // LS
    case 0x2029: // PS
        return true;
    default:
        return false;
    }
}

QString lineBreaksToBlanks(QStringView text)
{
    // Line breaks are all in the BMP, so a UTF-16 unit test is exact.
    QString joined;
    joined.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == u'\r' && i + 1 < size && text[i + 1].unicode() == u'\n') {
            ++i;
        }
        joined.append(isLineBreak(unit) ? QChar(u' ') : QChar(unit));
    }
    return joined;
}

QString trimmed(QStringView text)
{
    // Every white-space character is in the BMP, so UTF-16 units can be tested one by one;
    // a surrogate is never white space.
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhiteSpaceOrLineBreak(text[begin].unicode())) {
        ++begin;
    }
    while (end > begin && isWhiteSpaceOrLineBreak(text[end - 1].unicode())) {
        --end;
    }
    return text.sliced(begin, end - begin).toString();
}

namespace {

// Printable ASCII without CR: every unit is a grapheme cluster of its own.
bool isSimpleAscii(QStringView text)
{
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || u >= 0x7f) {
            return false;
        }
    }
    return true;
}

} // namespace

qsizetype graphemeCount(QStringView text)
{
    if (isSimpleAscii(text)) {
        return text.size();
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1) {
        ++count;
    }
    return count;
}

QString graphemePrefix(QStringView text, qsizetype count)
{
    if (count <= 0) {
        return {};
    }
    if (isSimpleAscii(text)) {
        return text.first(std::min(count, text.size())).toString();
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qsizetype end = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next == -1) {
            break;
        }
        end = next;
    }
    return text.first(end).toString();
}

namespace {

QCollator makeNameCollator(const QLocale& locale)
{
    // QCollator compares code points under the C/POSIX locale and ignores numeric mode
    // there, which would put "item 10" before "item 2".
    QCollator collator(locale.language() == QLocale::C
            ? QLocale(QLocale::English, QLocale::UnitedStates)
            : locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
    return collator;
}

struct CachedCollator
{
    QLocale locale;
    std::optional<QCollator> collator;
};

// Sorting compares many times; building a collator each time is expensive. A collator is
// not safe to share between threads, hence one per thread, rebuilt if the default locale
// changes.
const QCollator& nameCollator()
{
    thread_local CachedCollator cache;
    const QLocale current;
    if (!cache.collator || cache.locale != current) {
        cache.locale = current;
        cache.collator.emplace(makeNameCollator(current));
    }
    return *cache.collator;
}

} // namespace

int compareNames(const QString& a, const QString& b)
{
    const int result = nameCollator().compare(a, b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

bool nameLess(const QString& a, const QString& b)
{
    return compareNames(a, b) < 0;
}

} // namespace Text
