#include "FixedPhraseCSVTokenizer.h"

#include <array>

namespace {

constexpr std::array<bool, 256> specialBytes = [] {
    std::array<bool, 256> table {};
    table[static_cast<unsigned char>(',')] = true;
    table[static_cast<unsigned char>('"')] = true;
    table[static_cast<unsigned char>('\r')] = true;
    table[static_cast<unsigned char>('\n')] = true;
    return table;
}();

bool isSpecial(char c)
{
    return specialBytes[static_cast<unsigned char>(c)];
}

} // namespace

FixedPhraseCSVTokenizer::FixedPhraseCSVTokenizer(int keptCells, RowHandler handler)
    : m_keptCells(keptCells)
    , m_handler(std::move(handler))
{ }

void FixedPhraseCSVTokenizer::feed(const char* data, qsizetype size)
{
    qsizetype i = 0;
    if (m_quotePending && size > 0) {
        m_quotePending = false;
        if (data[0] == '"') {
            appendToField("\"", 1);
            i = 1;
        } else {
            m_inQuotes = false;
        }
    }
    while (i < size) {
        if (m_inQuotes) {
            qsizetype end = i;
            while (end < size && data[end] != '"') {
                ++end;
            }
            appendToField(data + i, end - i);
            if (end == size) {
                return;
            }
            i = end + 1;
            if (i == size) {
                m_quotePending = true;
                return;
            }
            if (data[i] == '"') {
                appendToField("\"", 1);
                ++i;
            } else {
                m_inQuotes = false;
            }
            continue;
        }
        qsizetype end = i;
        while (end < size && !isSpecial(data[end])) {
            ++end;
        }
        if (end > i) {
            appendToField(data + i, end - i);
            i = end;
            continue;
        }
        switch (data[i++]) {
        case '"':
            if (m_fieldHasText) {
                appendToField("\"", 1);
            } else {
                m_inQuotes = true;
            }
            break;
        case ',':
            endField();
            break;
        case '\n':
            endField();
            endRow();
            break;
        default: // '\r' outside quotes is dropped
            break;
        }
    }
}

bool FixedPhraseCSVTokenizer::finish()
{
    if (m_quotePending) {
        m_quotePending = false;
        m_inQuotes = false;
    }
    if (m_inQuotes) {
        return false;
    }
    if (m_fieldHasText || m_cellCount > 0) {
        endField();
        endRow();
    }
    return true;
}

void FixedPhraseCSVTokenizer::appendToField(const char* data, qsizetype size)
{
    if (size == 0) {
        return;
    }
    m_fieldHasText = true;
    if (m_keptCells < 0 || m_cellCount < m_keptCells) {
        m_field.append(data, size);
    }
}

void FixedPhraseCSVTokenizer::endField()
{
    if (m_keptCells < 0 || m_cellCount < m_keptCells) {
        m_cells.push_back(std::exchange(m_field, QByteArray()));
    }
    ++m_cellCount;
    m_fieldHasText = false;
}

void FixedPhraseCSVTokenizer::endRow()
{
    m_handler(m_cells);
    m_cells.clear();
    m_cellCount = 0;
}
