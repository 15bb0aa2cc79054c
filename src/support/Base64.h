#pragma once

// Standard alphabet, padded, no line breaks. Decoding is strict (any other character, a
// missing or misplaced '=' or a length that is not a multiple of four fails) and table
// driven: Qt 6.4's decoder runs at ~150 MB/s and skips bad characters unless told to abort.

#include <QByteArray>

#include <optional>
#include <string_view>

namespace Base64 {

QByteArray encode(const QByteArray& bytes);
// Writes the Base64 of size bytes at in to out, which has room for encodedSize(size)
// characters; returns that count.
constexpr qsizetype encodedSize(qsizetype size)
{
    return (size + 2) / 3 * 4;
}
qsizetype encodeTo(const char* in, qsizetype size, char* out);
// The same with every "/" written as "\/", as JSON strings carry it here; out has room for
// twice encodedSize(size).
qsizetype encodeForJson(const char* in, qsizetype size, char* out);
std::optional<QByteArray> decode(std::string_view text);

} // namespace Base64
