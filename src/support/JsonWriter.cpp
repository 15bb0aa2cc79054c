#include "JsonWriter.h"

#include "Base64.h"

#include <QIODevice>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

// Decisions not fixed by the byte format:
// - A lone UTF-16 surrogate cannot be written as UTF-8; it becomes U+FFFD (as QString's own
//   UTF-8 conversion does), so the output is always valid UTF-8.
// - U+2028 and U+2029 are written as UTF-8 like every other character above U+001F.
// - NaN and infinities have no JSON form; they are written as null.
// - finish() also reports an unbalanced document (a missing end) as a failure, so a caller
//   never commits a truncated file.

namespace {

constexpr qsizetype FlushThreshold = 256 * 1024;
// UTF-16 units escaped per step: bounded so that a huge string never needs a huge buffer.
constexpr qsizetype EscapeChunk = 32 * 1024;
// Worst case per UTF-16 unit: "\u00xx" (6 bytes); a surrogate pair gives 4 bytes for 2 units.
constexpr qsizetype MaxBytesPerUnit = 6;

// 0: copied as is; 1: written as \u00xx; any other value: the letter after the backslash.
constexpr std::array<char, 128> makeEscapeTable()
{
    std::array<char, 128> table {};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = 1;
    }
    table['\b'] = 'b';
    table['\f'] = 'f';
    table['\n'] = 'n';
    table['\r'] = 'r';
    table['\t'] = 't';
    table['"'] = '"';
    table['\\'] = '\\';
    table['/'] = '/';
    return table;
}

constexpr std::array<char, 128> EscapeTable = makeEscapeTable();
constexpr char HexDigits[] = "0123456789abcdef";

// Escapes units into out (room for MaxBytesPerUnit * size bytes); returns the end.
// The caller never splits a surrogate pair between two calls.
char* escapeInto(char* out, const char16_t* units, qsizetype size)
{
    const char16_t* p = units;
    const char16_t* const end = units + size;
    while (p < end) {
        char16_t u = *p;
        // Runs of plain ASCII are the common case: copy them without further checks.
        while (u < 0x80 && EscapeTable[u] == 0) {
            *out++ = static_cast<char>(u);
            if (++p == end) {
                return out;
            }
            u = *p;
        }
        ++p;
        if (u < 0x80) {
            const char e = EscapeTable[u];
            *out++ = '\\';
            if (e == 1) {
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = HexDigits[u >> 4];
                *out++ = HexDigits[u & 0xf];
            } else {
                *out++ = e;
            }
        } else if (u < 0x800) {
            *out++ = static_cast<char>(0xc0 | (u >> 6));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        } else if (u >= 0xd800 && u <= 0xdfff) {
            if (u <= 0xdbff && p < end && *p >= 0xdc00 && *p <= 0xdfff) {
                const char32_t c = 0x10000 + ((char32_t(u) - 0xd800) << 10) + (*p - 0xdc00);
                ++p;
                *out++ = static_cast<char>(0xf0 | (c >> 18));
                *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
                *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
                *out++ = static_cast<char>(0x80 | (c & 0x3f));
            } else {
                // Lone surrogate: U+FFFD.
                *out++ = static_cast<char>(0xef);
                *out++ = static_cast<char>(0xbf);
                *out++ = static_cast<char>(0xbd);
            }
        } else {
            *out++ = static_cast<char>(0xe0 | (u >> 12));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        }
    }
    return out;
}

} // namespace

JsonWriter::JsonWriter(QIODevice* device, Style style)
    : m_device(device)
    , m_style(style)
{
    m_buffer.reserve(FlushThreshold + EscapeChunk * MaxBytesPerUnit + 64);
}

JsonWriter::JsonWriter(Style style)
    : m_style(style)
{ }

JsonWriter::~JsonWriter() = default;

void JsonWriter::newlineIndent(int depth)
{
    m_buffer.append('\n');
    for (int i = 0; i < depth; ++i) {
        m_buffer.append("  ", 2);
    }
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_stack.empty()) {
        return;
    }
    Level& level = m_stack.back();
    Q_ASSERT(!level.isObject); // members need key() first
    if (level.count > 0) {
        m_buffer.append(',');
    }
    ++level.count;
    if (m_style == Style::Pretty) {
        newlineIndent(static_cast<int>(m_stack.size()));
    }
}

void JsonWriter::key(QStringView name)
{
    Q_ASSERT(!m_stack.empty() && m_stack.back().isObject && !m_afterKey);
    Level& level = m_stack.back();
    if (level.count > 0) {
        m_buffer.append(',');
    }
    ++level.count;
    if (m_style == Style::Pretty) {
        newlineIndent(static_cast<int>(m_stack.size()));
    }
    appendEscaped(name);
    if (m_style == Style::Pretty) {
        m_buffer.append(" : ", 3);
    } else {
        m_buffer.append(':');
    }
    m_afterKey = true;
    maybeFlush();
}

void JsonWriter::beginArray()
{
    beforeValue();
    m_buffer.append('[');
    m_stack.push_back({false, 0});
}

void JsonWriter::beginObject()
{
    beforeValue();
    m_buffer.append('{');
    m_stack.push_back({true, 0});
}

void JsonWriter::endArray()
{
    Q_ASSERT(!m_stack.empty() && !m_stack.back().isObject);
    endContainer(']');
}

void JsonWriter::endObject()
{
    Q_ASSERT(!m_stack.empty() && m_stack.back().isObject && !m_afterKey);
    endContainer('}');
}

void JsonWriter::endContainer(char bracket)
{
    if (m_stack.empty()) {
        m_unbalanced = true;
        return;
    }
    const int count = m_stack.back().count;
    m_stack.pop_back();
    if (m_style == Style::Pretty) {
        if (count == 0) {
            // The platform's pretty encoder leaves one empty line inside an empty container.
            m_buffer.append('\n');
        }
        newlineIndent(static_cast<int>(m_stack.size()));
    }
    m_buffer.append(bracket);
    maybeFlush();
}

void JsonWriter::appendEscaped(QStringView text)
{
    m_buffer.append('"');
    const char16_t* units = text.utf16();
    qsizetype remaining = text.size();
    while (remaining > 0) {
        qsizetype step = std::min(remaining, EscapeChunk);
        // Keep a surrogate pair together.
        if (step < remaining && units[step - 1] >= 0xd800 && units[step - 1] <= 0xdbff) {
            ++step;
        }
        const qsizetype start = m_buffer.size();
        m_buffer.resize(start + step * MaxBytesPerUnit);
        char* const begin = m_buffer.data() + start;
        char* const end = escapeInto(begin, units, step);
        m_buffer.resize(start + (end - begin));
        units += step;
        remaining -= step;
        maybeFlush();
    }
    m_buffer.append('"');
}

void JsonWriter::value(QStringView text)
{
    beforeValue();
    appendEscaped(text);
    maybeFlush();
}

void JsonWriter::base64Value(const QByteArray& bytes)
{
    beginBase64Value();
    appendBase64(bytes);
    endBase64Value();
}

void JsonWriter::beginBase64Value()
{
    beforeValue();
    m_buffer.append('"');
}

void JsonWriter::appendBase64(QByteArrayView bytes)
{
    // A slice at a time, straight into the buffer.
    constexpr qsizetype Slice = EscapeChunk / 4 * 3;
    for (qsizetype done = 0; done < bytes.size(); done += Slice) {
        const qsizetype length = std::min(Slice, bytes.size() - done);
        const qsizetype start = m_buffer.size();
        m_buffer.resize(start + 2 * Base64::encodedSize(length));
        m_buffer.resize(start +
            Base64::encodeForJson(bytes.constData() + done, length, m_buffer.data() + start));
        maybeFlush();
    }
}

void JsonWriter::endBase64Value()
{
    m_buffer.append('"');
    maybeFlush();
}

void JsonWriter::value(bool b)
{
    beforeValue();
    if (b) {
        m_buffer.append("true", 4);
    } else {
        m_buffer.append("false", 5);
    }
}

void JsonWriter::value(qint64 n)
{
    beforeValue();
    char text[24];
    const auto result = std::to_chars(std::begin(text), std::end(text), n);
    m_buffer.append(text, result.ptr - text);
}

void JsonWriter::value(double d)
{
    beforeValue();
    if (!std::isfinite(d)) {
        m_buffer.append("null");
        return;
    }
    // The shortest text that reads back as the same double.
    char text[32];
    const auto result = std::to_chars(std::begin(text), std::end(text), d);
    m_buffer.append(text, result.ptr - text);
}

void JsonWriter::maybeFlush()
{
    if (m_device != nullptr && m_buffer.size() >= FlushThreshold) {
        flushBuffer();
    }
}

void JsonWriter::flushBuffer()
{
    if (m_device == nullptr) {
        return;
    }
    if (m_ok && !m_buffer.isEmpty()) {
        const char* data = m_buffer.constData();
        qsizetype left = m_buffer.size();
        while (left > 0) {
            const qint64 written = m_device->write(data, left);
            if (written <= 0) {
                m_ok = false;
                break;
            }
            data += written;
            left -= written;
        }
    }
    // resize keeps the allocation for the next chunk.
    m_buffer.resize(0);
}

bool JsonWriter::finish()
{
    flushBuffer();
    return m_ok && !m_unbalanced && m_stack.empty() && !m_afterKey;
}
