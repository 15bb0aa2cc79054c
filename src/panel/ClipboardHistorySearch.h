#pragma once

// The quick panel's search syntax and matching, as pure functions.
//
// A two-character prefix of the search text picks the scope: "u " URLs, "g " images, "s " fixed
// phrases (the letter in either case, the blank required); anything else searches everything.
// The keyword is what follows the prefix, trimmed of white space and line breaks; an empty
// keyword filters nothing.
//
// An entry matches when its search text contains the keyword, ignoring case (case folding; no
// width, kana or diacritic folding, so "ｱ" does not find "ア"). The search text holds what a
// row shows besides the content itself, which is what makes "文字", "URL" and "画像" find
// every entry of their kind.

#include "clipboard/ClipboardHistoryItem.h"
#include "phrases/FixedPhrase.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <QUuid>

enum class SearchScope
{
    All,
    Url,
    Image,
    FixedPhrase
};

// One phrase as a search hit; its identity is the phrase's id.
struct FixedPhraseSearchResult
{
    QUuid folderID;
    QString folderTitle;
    FixedPhrase phrase;

    bool operator==(const FixedPhraseSearchResult& other) const = default;
};

namespace ClipboardHistorySearch {

SearchScope scope(QStringView searchText);
QString keyword(QStringView searchText);
// The history kind the arrow keys walk through in a scope (fixed phrases have their own list).
ClipboardHistoryKind navigationKind(SearchScope scope);
// The history sections a scope shows, top to bottom.
QList<ClipboardHistoryKind> shownKinds(SearchScope scope);

// A keyword to find in many texts: how to compare with it is decided once, not for every text
// (10,000 phrases are three matches each).
class KeywordMatcher final
{
public:
    explicit KeywordMatcher(const QString& keyword);

    bool matches(QStringView searchText) const;
    // Whether head + tail contains the keyword, without building the joined text.
    bool matches(QStringView head, QStringView tail) const;

private:
    QString m_keyword;
    Qt::CaseSensitivity m_sensitivity;
};

// Text and URL entries: preview title, detail and full text; images: "画像" with the
// dimensions, the dimensions, "画像" (the dimensions as the preview cache knows them).
QString searchText(const ClipboardHistoryItem& item);
// What comes before the full text in a text or URL entry's search text ("title detail ").
QString searchTextHead(const ClipboardHistoryItem& item);

// Every phrase of the given (visible) folders, in order, whose folder title, title or content
// contains the keyword.
QList<FixedPhraseSearchResult> fixedPhraseResults(
    const FixedPhraseFolderList& folders, const QString& keyword);
// The results that also match keyword: the same as searching their folders again when
// keyword contains the one the results were found with.
QList<FixedPhraseSearchResult> narrowedFixedPhraseResults(
    const QList<FixedPhraseSearchResult>& results, const QString& keyword);

} // namespace ClipboardHistorySearch
