#pragma once

// Text rules shared by every feature.
// - "White space and line breaks" is Unicode white space, including U+3000 and U+0085.
// - "Characters" are user-perceived characters (grapheme clusters), not UTF-16 units.
// - The displayed-name order is locale-aware, case-insensitive, digit runs by value; names
//   equal under it count as equal (callers keep a stable order for them).

#include <QString>
#include <QStringView>

namespace Text {

bool isWhiteSpaceOrLineBreak(char32_t c);
bool isLineBreak(char32_t c);
// text on one line: every line break becomes one blank, CR LF (one character) included.
QString lineBreaksToBlanks(QStringView text);
QString trimmed(QStringView text);

qsizetype graphemeCount(QStringView text);
// The first count grapheme clusters of text.
QString graphemePrefix(QStringView text, qsizetype count);

// < 0, 0, > 0. Under the C/POSIX locale an English collator is used, since QCollator's
// numeric mode does nothing there.
int compareNames(const QString& a, const QString& b);
bool nameLess(const QString& a, const QString& b);

} // namespace Text
