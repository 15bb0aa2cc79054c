#pragma once

// The fixed phrase CSV: one row per phrase with its folder, columns "分類", "分類の表示",
// "タイトル", "内容", "定型文の表示". Exports start with the UTF-8 byte order mark, end every
// row with LF and quote only the fields that contain a comma, a quote, CR or LF. Imports
// accept a byte order mark, CR LF, a missing header row, and map rows to folders by trimmed
// title (visibility from the folder's first row); identifiers are never read from a file.

#include "FixedPhrase.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

enum class FixedPhraseCSVError
{
    UnclosedQuote
};
QString localizedDescription(FixedPhraseCSVError error);

class FixedPhraseCSV final
{
public:
    static constexpr char utf8BOM[] = "\xEF\xBB\xBF";
    static QStringList headers();

    // The whole store as CSV text (without the byte order mark).
    static QString encode(const FixedPhraseFolderList& folders);
    // The UTF-8 bytes of encode(), handed to sink in pieces of a few hundred KiB so that a
    // large export never sits in memory whole; stops at the first false from sink.
    static bool encodeUtf8(
        const FixedPhraseFolderList& folders, const std::function<bool(const QByteArray&)>& sink);

    // Rows of cells; nothing when a quote is never closed (FixedPhraseCSVError::UnclosedQuote).
    static std::optional<QList<QStringList>> parse(QStringView text);
    // Folders described by text; nothing when a quote is never closed.
    static std::optional<FixedPhraseFolderList> decode(QStringView text);

    static bool boolValue(QStringView cell, bool defaultValue);
};

// decode() as a stream: UTF-8 bytes in (already known to be valid), folders out, so an
// import decodes and maps in the same single pass that reads the file.
class FixedPhraseCSVReader final
{
public:
    FixedPhraseCSVReader();
    ~FixedPhraseCSVReader();
    FixedPhraseCSVReader(const FixedPhraseCSVReader&) = delete;
    FixedPhraseCSVReader& operator=(const FixedPhraseCSVReader&) = delete;

    void feed(const char* data, qsizetype size);
    // Nothing when the text ends inside quotes.
    std::optional<FixedPhraseFolderList> finish();

private:
    struct Mapper;

    void feedTokenizer(const char* data, qsizetype size);

    std::unique_ptr<Mapper> m_mapper;
    // The first bytes, held until it is known whether they are the byte order mark.
    QByteArray m_start;
    bool m_started = false;
};
