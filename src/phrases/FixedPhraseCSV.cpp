#include "FixedPhraseCSV.h"

#include "FixedPhraseCSVTokenizer.h"
#include "support/Text.h"
#include "support/Utf8Text.h"
#include "support/Uuid.h"

#include <QHash>

namespace {

constexpr qsizetype encodeChunkCharacters = 256 * 1024;
constexpr int columnCount = 5;

QString visibilityWord(bool isVisible)
{
    return isVisible ? QStringLiteral("表示") : QStringLiteral("非表示");
}

void appendField(QString& out, const QString& field)
{
    bool needsQuotes = false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        if (u == u',' || u == u'"' || u == u'\n' || u == u'\r') {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes) {
        out += field;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : field) {
        if (c == QLatin1Char('"')) {
            out += QLatin1Char('"');
        }
        out += c;
    }
    out += QLatin1Char('"');
}

void appendRow(QString& out, const QString& folderTitle, const QString& folderVisibility,
    const QString& title, const QString& content, const QString& phraseVisibility)
{
    appendField(out, folderTitle);
    out += QLatin1Char(',');
    appendField(out, folderVisibility);
    out += QLatin1Char(',');
    appendField(out, title);
    out += QLatin1Char(',');
    appendField(out, content);
    out += QLatin1Char(',');
    appendField(out, phraseVisibility);
    out += QLatin1Char('\n');
}

// Builds the text row by row, handing it on in pieces.
bool encodeChunks(
    const FixedPhraseFolderList& folders, const std::function<bool(const QString&)>& sink)
{
    QString out;
    out.reserve(encodeChunkCharacters + 4096);
    const QStringList header = FixedPhraseCSV::headers();
    appendRow(out, header[0], header[1], header[2], header[3], header[4]);
    const QString shown = visibilityWord(true);
    for (const FixedPhraseFolder& folder : folders) {
        const QString folderVisibility = visibilityWord(folder.isVisible);
        if (folder.phrases.isEmpty()) {
            appendRow(out, folder.title, folderVisibility, QString(), QString(), shown);
        }
        for (const FixedPhrase& phrase : folder.phrases) {
            appendRow(out, folder.title, folderVisibility, phrase.title, phrase.content,
                visibilityWord(phrase.isVisible));
            if (out.size() >= encodeChunkCharacters) {
                if (!sink(out)) {
                    return false;
                }
                out.resize(0);
            }
        }
    }
    return out.isEmpty() || sink(out);
}

QString cellText(const std::vector<QByteArray>& cells, size_t index)
{
    return index < cells.size() ? validUtf8ToString(cells[index]) : QString();
}

} // namespace

QString localizedDescription(FixedPhraseCSVError error)
{
    switch (error) {
    case FixedPhraseCSVError::UnclosedQuote:
        return QStringLiteral("CSVの引用符が閉じられていません");
    }
    return {};
}

QStringList FixedPhraseCSV::headers()
{
    return {QStringLiteral("分類"), QStringLiteral("分類の表示"), QStringLiteral("タイトル"),
        QStringLiteral("内容"), QStringLiteral("定型文の表示")};
}

QString FixedPhraseCSV::encode(const FixedPhraseFolderList& folders)
{
    QString text;
    encodeChunks(folders, [&text](const QString& chunk) {
        text += chunk;
        return true;
    });
    return text;
}

bool FixedPhraseCSV::encodeUtf8(
    const FixedPhraseFolderList& folders, const std::function<bool(const QByteArray&)>& sink)
{
    return encodeChunks(folders, [&sink](const QString& chunk) { return sink(chunk.toUtf8()); });
}

std::optional<QList<QStringList>> FixedPhraseCSV::parse(QStringView text)
{
    QList<QStringList> rows;
    FixedPhraseCSVTokenizer tokenizer(-1, [&rows](const std::vector<QByteArray>& cells) {
        QStringList row;
        row.reserve(static_cast<qsizetype>(cells.size()));
        for (const QByteArray& cell : cells) {
            row.append(validUtf8ToString(cell));
        }
        rows.append(std::move(row));
    });
    const QByteArray bytes = text.toUtf8();
    tokenizer.feed(bytes.constData(), bytes.size());
    if (!tokenizer.finish()) {
        return std::nullopt;
    }
    return rows;
}

std::optional<FixedPhraseFolderList> FixedPhraseCSV::decode(QStringView text)
{
    FixedPhraseCSVReader reader;
    const QByteArray bytes = text.toUtf8();
    reader.feed(bytes.constData(), bytes.size());
    return reader.finish();
}

bool FixedPhraseCSV::boolValue(QStringView cell, bool defaultValue)
{
    const QString word = Text::trimmed(cell).toLower();
    static const QStringList trueWords {QStringLiteral("true"), QStringLiteral("1"),
        QStringLiteral("yes"), QStringLiteral("y"), QStringLiteral("on"), QStringLiteral("表示")};
    static const QStringList falseWords {QStringLiteral("false"), QStringLiteral("0"),
        QStringLiteral("no"), QStringLiteral("n"), QStringLiteral("off"), QStringLiteral("非表示")};
    if (trueWords.contains(word)) {
        return true;
    }
    if (falseWords.contains(word)) {
        return false;
    }
    return defaultValue;
}

struct FixedPhraseCSVReader::Mapper
{
    Mapper()
        : tokenizer(columnCount, [this](const std::vector<QByteArray>& cells) { addRow(cells); })
    { }

    void addRow(const std::vector<QByteArray>& cells)
    {
        if (isFirstRow) {
            isFirstRow = false;
            if (isHeader(cells)) {
                return;
            }
        }
        const QString folderTitle = Text::trimmed(cellText(cells, 0));
        if (folderTitle.isEmpty()) {
            return;
        }
        QString title = Text::trimmed(cellText(cells, 2));
        QString content = cellText(cells, 3);

        qsizetype index = folderIndex.value(folderTitle, -1);
        if (index < 0) {
            index = folders.size();
            folders.append(FixedPhraseFolder {Uuid::create(), folderTitle,
                FixedPhraseCSV::boolValue(cellText(cells, 1), true), {}});
            folderIndex.insert(folderTitle, index);
        }
        if (title.isEmpty()) {
            if (content.isEmpty()) {
                return;
            }
            title = QStringLiteral("名称未設定");
        }
        folders[index].phrases.append(FixedPhrase {Uuid::create(), std::move(title),
            std::move(content), FixedPhraseCSV::boolValue(cellText(cells, 4), true)});
    }

    static bool isHeader(const std::vector<QByteArray>& cells)
    {
        const QStringList names = FixedPhraseCSV::headers();
        for (int column = 0; column < columnCount; ++column) {
            if (Text::trimmed(cellText(cells, static_cast<size_t>(column))) != names[column]) {
                return false;
            }
        }
        return true;
    }

    FixedPhraseCSVTokenizer tokenizer;
    bool isFirstRow = true;
    FixedPhraseFolderList folders;
    QHash<QString, qsizetype> folderIndex;
};

FixedPhraseCSVReader::FixedPhraseCSVReader()
    : m_mapper(std::make_unique<Mapper>())
{ }

FixedPhraseCSVReader::~FixedPhraseCSVReader() = default;

void FixedPhraseCSVReader::feed(const char* data, qsizetype size)
{
    if (m_started) {
        feedTokenizer(data, size);
        return;
    }
    // The byte order mark is one character, U+FEFF, at the very start of the text: removed
    // once, whatever the sizes of the pieces the bytes arrive in.
    const qsizetype missing = std::min<qsizetype>(3 - m_start.size(), size);
    m_start.append(data, missing);
    if (m_start.size() < 3) {
        return;
    }
    m_started = true;
    if (m_start != QByteArrayView(FixedPhraseCSV::utf8BOM, 3)) {
        feedTokenizer(m_start.constData(), m_start.size());
    }
    m_start.clear();
    feedTokenizer(data + missing, size - missing);
}

std::optional<FixedPhraseFolderList> FixedPhraseCSVReader::finish()
{
    if (!m_started) {
        m_started = true;
        feedTokenizer(m_start.constData(), m_start.size());
    }
    if (!m_mapper->tokenizer.finish()) {
        return std::nullopt;
    }
    return std::move(m_mapper->folders);
}

void FixedPhraseCSVReader::feedTokenizer(const char* data, qsizetype size)
{
    m_mapper->tokenizer.feed(data, size);
}
