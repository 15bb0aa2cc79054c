#pragma once

// The CSV tokenizer, streaming over UTF-8 bytes. Every character that steers it (comma,
// double quote, CR, LF) is ASCII and never occurs inside a multi-byte sequence, so working on
// bytes gives exactly the rows a character-by-character reading gives, at memory speed.
//
// Outside quotes: a quote starts a quoted field only when the field is still empty (elsewhere
// it is an ordinary character); a comma ends the field; LF ends the field and the row; CR is
// dropped. Inside quotes: "" is one quote; a single quote leaves the quotes and what follows
// up to the next comma or line break joins the same field; everything else is kept. At the
// end a field or row that has begun is finished, so a final LF adds no empty row, and an
// open quote is an error.

#include <QByteArray>

#include <functional>
#include <vector>

class FixedPhraseCSVTokenizer final
{
public:
    // Receives the cells of each row; only the first keptCells are kept, the others are
    // tokenized and dropped. A negative keptCells keeps them all.
    using RowHandler = std::function<void(const std::vector<QByteArray>& cells)>;

    FixedPhraseCSVTokenizer(int keptCells, RowHandler handler);

    void feed(const char* data, qsizetype size);
    // False when the text ends inside quotes.
    bool finish();

private:
    void appendToField(const char* data, qsizetype size);
    void endField();
    void endRow();

    int m_keptCells;
    RowHandler m_handler;
    std::vector<QByteArray> m_cells;
    qsizetype m_cellCount = 0;
    QByteArray m_field;
    bool m_fieldHasText = false;
    bool m_inQuotes = false;
    // A quote inside quotes was the last byte fed: whether it is half of "" or the closing
    // quote depends on the next byte.
    bool m_quotePending = false;
};
