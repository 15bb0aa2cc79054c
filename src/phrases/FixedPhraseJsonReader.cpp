#include "FixedPhraseJsonReader.h"

#include "StrictUtf8.h"
#include "Utf8Text.h"
#include "support/Uuid.h"

#include <QByteArray>

#include <array>
#include <string_view>

namespace {

constexpr int maximumDepth = 512;

class Reader final
{
public:
    Reader(const char* data, qsizetype size)
        : m_p(data)
        , m_end(data + size)
    { }

    std::optional<FixedPhraseFolderList> readDocument()
    {
        FixedPhraseFolderList folders;
        skipWhiteSpace();
        if (!readArray(
                &folders, [this](FixedPhraseFolder* folder) { return readFolder(folder); })) {
            return std::nullopt;
        }
        skipWhiteSpace();
        if (m_p != m_end) {
            return std::nullopt;
        }
        return folders;
    }

    // Reads "[" element ("," element)* "]" into list; readElement reads one element.
    template<typename T, typename ReadElement>
    bool readArray(QList<T>* list, ReadElement readElement)
    {
        list->clear();
        if (!consume('[')) {
            return false;
        }
        skipWhiteSpace();
        if (consume(']')) {
            return true;
        }
        for (;;) {
            T element;
            if (!readElement(&element)) {
                return false;
            }
            list->append(std::move(element));
            skipWhiteSpace();
            if (consume(']')) {
                return true;
            }
            if (!consume(',')) {
                return false;
            }
            skipWhiteSpace();
        }
    }

private:
    // A string token: its raw bytes between the quotes and whether it holds escapes.
    struct RawString
    {
        std::string_view bytes;
        bool hasEscapes = false;
    };

    void skipWhiteSpace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t')) {
            ++m_p;
        }
    }

    bool consume(char c)
    {
        if (m_p != m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }

    bool consumeWord(std::string_view word)
    {
        if (m_end - m_p < static_cast<qsizetype>(word.size()) ||
            std::string_view(m_p, word.size()) != word) {
            return false;
        }
        m_p += word.size();
        return true;
    }

    // Checks the token's escapes and control characters; the bytes themselves were checked
    // as UTF-8 before parsing started.
    bool readRawString(RawString* out)
    {
        if (!consume('"')) {
            return false;
        }
        const char* start = m_p;
        bool escapes = false;
        while (m_p != m_end) {
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                out->bytes = std::string_view(start, static_cast<size_t>(m_p - start));
                out->hasEscapes = escapes;
                ++m_p;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                escapes = true;
                ++m_p;
                if (m_p == m_end) {
                    return false;
                }
                switch (*m_p) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't':
                    ++m_p;
                    break;
                case 'u':
                    ++m_p;
                    if (m_end - m_p < 4) {
                        return false;
                    }
                    for (int i = 0; i < 4; ++i, ++m_p) {
                        if (hexValue(*m_p) < 0) {
                            return false;
                        }
                    }
                    break;
                default:
                    return false;
                }
                continue;
            }
            ++m_p;
        }
        return false;
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    static char32_t hex4(const char* p)
    {
        char32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value * 16 + static_cast<char32_t>(hexValue(p[i]));
        }
        return value;
    }

    static void appendUtf8(QByteArray& out, char32_t c)
    {
        if (c < 0x80) {
            out.append(static_cast<char>(c));
        } else if (c < 0x800) {
            out.append(static_cast<char>(0xC0 | (c >> 6)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.append(static_cast<char>(0xE0 | (c >> 12)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.append(static_cast<char>(0xF0 | (c >> 18)));
            out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }

    // The string's value as UTF-8 (escapes resolved); nothing for an unpaired surrogate.
    static std::optional<QByteArray> unescape(std::string_view raw)
    {
        QByteArray out;
        out.reserve(static_cast<qsizetype>(raw.size()));
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\') {
                out.append(raw[i]);
                continue;
            }
            const char kind = raw[++i];
            switch (kind) {
            case 'b':
                out.append('\b');
                break;
            case 'f':
                out.append('\f');
                break;
            case 'n':
                out.append('\n');
                break;
            case 'r':
                out.append('\r');
                break;
            case 't':
                out.append('\t');
                break;
            case 'u': {
                char32_t c = hex4(raw.data() + i + 1);
                i += 4;
                if (c >= 0xDC00 && c <= 0xDFFF) {
                    return std::nullopt;
                }
                if (c >= 0xD800 && c <= 0xDBFF) {
                    if (i + 6 >= raw.size() || raw[i + 1] != '\\' || raw[i + 2] != 'u') {
                        return std::nullopt;
                    }
                    const char32_t low = hex4(raw.data() + i + 3);
                    if (low < 0xDC00 || low > 0xDFFF) {
                        return std::nullopt;
                    }
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
                appendUtf8(out, c);
                break;
            }
            default: // '"', '\\', '/'
                out.append(kind);
                break;
            }
        }
        return out;
    }

    bool readString(QString* out)
    {
        RawString raw;
        if (!readRawString(&raw)) {
            return false;
        }
        if (!raw.hasEscapes) {
            *out = validUtf8ToString(raw.bytes.data(), static_cast<qsizetype>(raw.bytes.size()));
            return true;
        }
        const std::optional<QByteArray> bytes = unescape(raw.bytes);
        if (!bytes) {
            return false;
        }
        *out = validUtf8ToString(*bytes);
        return true;
    }

    // A member name, escapes resolved only when there are any.
    bool readKey(QByteArray* storage, std::string_view* key)
    {
        RawString raw;
        if (!readRawString(&raw)) {
            return false;
        }
        if (!raw.hasEscapes) {
            *key = raw.bytes;
        } else {
            std::optional<QByteArray> bytes = unescape(raw.bytes);
            if (!bytes) {
                return false;
            }
            *storage = std::move(*bytes);
            *key = std::string_view(storage->constData(), static_cast<size_t>(storage->size()));
        }
        skipWhiteSpace();
        if (!consume(':')) {
            return false;
        }
        skipWhiteSpace();
        return true;
    }

    bool readUuid(QUuid* out)
    {
        RawString raw;
        if (!readRawString(&raw)) {
            return false;
        }
        std::optional<QUuid> uuid;
        if (!raw.hasEscapes && raw.bytes.size() == 36) {
            // Widened on the stack: 200,000 identifiers need no allocation of their own.
            std::array<char16_t, 36> wide {};
            for (size_t i = 0; i < wide.size(); ++i) {
                wide[i] = static_cast<unsigned char>(raw.bytes[i]);
            }
            uuid = Uuid::parse(QStringView(wide.data(), 36));
        } else if (raw.hasEscapes) {
            const std::optional<QByteArray> bytes = unescape(raw.bytes);
            if (bytes) {
                uuid = Uuid::parse(validUtf8ToString(*bytes));
            }
        }
        if (!uuid) {
            return false;
        }
        *out = *uuid;
        return true;
    }

    // An optional boolean: null keeps the default.
    bool readOptionalBool(bool* out)
    {
        if (consumeWord("true")) {
            *out = true;
            return true;
        }
        if (consumeWord("false")) {
            *out = false;
            return true;
        }
        return consumeWord("null");
    }

    bool skipNumber()
    {
        consume('-');
        if (consume('0')) {
            // no further integer digits after a leading zero
        } else if (m_p != m_end && *m_p >= '1' && *m_p <= '9') {
            skipDigits();
        } else {
            return false;
        }
        if (consume('.') && !skipDigits()) {
            return false;
        }
        if (m_p != m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (!consume('+')) {
                consume('-');
            }
            if (!skipDigits()) {
                return false;
            }
        }
        return true;
    }

    bool skipDigits()
    {
        const char* start = m_p;
        while (m_p != m_end && *m_p >= '0' && *m_p <= '9') {
            ++m_p;
        }
        return m_p != start;
    }

    // Any JSON value, checked and dropped (members this reader does not know).
    bool skipValue(int depth)
    {
        if (depth > maximumDepth || m_p == m_end) {
            return false;
        }
        switch (*m_p) {
        case '"': {
            RawString raw;
            return readRawString(&raw) && (!raw.hasEscapes || unescape(raw.bytes).has_value());
        }
        case '{': {
            ++m_p;
            skipWhiteSpace();
            if (consume('}')) {
                return true;
            }
            for (;;) {
                QByteArray storage;
                std::string_view key;
                if (!readKey(&storage, &key) || !skipValue(depth + 1)) {
                    return false;
                }
                skipWhiteSpace();
                if (consume('}')) {
                    return true;
                }
                if (!consume(',')) {
                    return false;
                }
                skipWhiteSpace();
            }
        }
        case '[': {
            ++m_p;
            skipWhiteSpace();
            if (consume(']')) {
                return true;
            }
            for (;;) {
                if (!skipValue(depth + 1)) {
                    return false;
                }
                skipWhiteSpace();
                if (consume(']')) {
                    return true;
                }
                if (!consume(',')) {
                    return false;
                }
                skipWhiteSpace();
            }
        }
        case 't':
            return consumeWord("true");
        case 'f':
            return consumeWord("false");
        case 'n':
            return consumeWord("null");
        default:
            return skipNumber();
        }
    }

    // Reads the members of an object; member(key) reads one value and returns false on error.
    template<typename Member>
    bool readObject(Member member)
    {
        if (!consume('{')) {
            return false;
        }
        skipWhiteSpace();
        if (consume('}')) {
            return true;
        }
        for (;;) {
            QByteArray storage;
            std::string_view key;
            if (!readKey(&storage, &key) || !member(key)) {
                return false;
            }
            skipWhiteSpace();
            if (consume('}')) {
                return true;
            }
            if (!consume(',')) {
                return false;
            }
            skipWhiteSpace();
        }
    }

    bool readPhrase(FixedPhrase* phrase)
    {
        bool hasId = false;
        bool hasTitle = false;
        bool hasContent = false;
        const bool ok = readObject([&](std::string_view key) {
            if (key == "id") {
                return hasId = readUuid(&phrase->id);
            }
            if (key == "title") {
                return hasTitle = readString(&phrase->title);
            }
            if (key == "content") {
                return hasContent = readString(&phrase->content);
            }
            if (key == "isVisible") {
                return readOptionalBool(&phrase->isVisible);
            }
            return skipValue(2);
        });
        return ok && hasId && hasTitle && hasContent;
    }

    bool readPhrases(QList<FixedPhrase>* phrases)
    {
        return readArray(phrases, [this](FixedPhrase* phrase) { return readPhrase(phrase); });
    }

    bool readFolder(FixedPhraseFolder* folder)
    {
        bool hasId = false;
        bool hasTitle = false;
        bool hasPhrases = false;
        const bool ok = readObject([&](std::string_view key) {
            if (key == "id") {
                return hasId = readUuid(&folder->id);
            }
            if (key == "title") {
                return hasTitle = readString(&folder->title);
            }
            if (key == "isVisible") {
                return readOptionalBool(&folder->isVisible);
            }
            if (key == "phrases") {
                return hasPhrases = readPhrases(&folder->phrases);
            }
            return skipValue(1);
        });
        return ok && hasId && hasTitle && hasPhrases;
    }

    const char* m_p;
    const char* m_end;
};

} // namespace

std::optional<FixedPhraseFolderList> FixedPhraseJsonReader::read(const char* data, qsizetype size)
{
    // Checked once for the whole text, so that every string can go to QString unchecked.
    if (!StrictUtf8Validator::isValid(data, size)) {
        return std::nullopt;
    }
    return Reader(data, size).readDocument();
}
