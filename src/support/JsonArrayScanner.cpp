#include "JsonArrayScanner.h"

#include <cstring>

namespace {

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

} // namespace

std::size_t JsonArrayScanner::skipSpace(const char* data, std::size_t pos, std::size_t size)
{
    while (pos < size && isJsonSpace(data[pos])) {
        ++pos;
    }
    return pos;
}

std::size_t JsonArrayScanner::findObjectEnd(const char* data, size_t begin, size_t size)
{
    size_t depth = 0;
    size_t i = begin;
    while (i < size) {
        const char c = data[i];
        if (c == '"') {
            const size_t contentBegin = i + 1;
            size_t from = contentBegin;
            for (;;) {
                const void* found = std::memchr(data + from, '"', size - from);
                if (found == nullptr) {
                    return NotFound;
                }
                const size_t quote = static_cast<size_t>(static_cast<const char*>(found) - data);
                size_t backslashes = 0;
                while (
                    quote - backslashes > contentBegin && data[quote - 1 - backslashes] == '\\') {
                    ++backslashes;
                }
                if (backslashes % 2 == 0) {
                    i = quote + 1;
                    break;
                }
                from = quote + 1;
            }
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) {
                return i + 1;
            }
        }
        ++i;
    }
    return NotFound;
}

bool JsonArrayScanner::scan(const char* data, size_t size, std::vector<Span>* spans)
{
    size_t pos = skipSpace(data, 0, size);
    if (pos >= size || data[pos] != '[') {
        return false;
    }
    pos = skipSpace(data, pos + 1, size);
    if (pos < size && data[pos] == ']') {
        return skipSpace(data, pos + 1, size) == size;
    }
    for (;;) {
        if (pos >= size || data[pos] != '{') {
            return false;
        }
        const size_t end = findObjectEnd(data, pos, size);
        if (end == NotFound) {
            return false;
        }
        spans->push_back({pos, end});
        pos = skipSpace(data, end, size);
        if (pos >= size) {
            return false;
        }
        if (data[pos] == ',') {
            pos = skipSpace(data, pos + 1, size);
            continue;
        }
        return data[pos] == ']' && skipSpace(data, pos + 1, size) == size;
    }
}
