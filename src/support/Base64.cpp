#include "Base64.h"

#include <array>
#include <cstdint>

// Decoding looks each character up in one of four tables that already hold its sextet
// shifted into place, so a quad becomes three bytes with three ORs. A character outside the
// alphabet sets bit 24, which no valid quad can reach, so one test per quad finds it.
//
// Unused bits of the last sextet before the padding need not be zero ("QR==" decodes as
// "QQ==" does): RFC 4648 leaves that to the decoder, and refusing them would spoil a whole
// file for a harmless difference.

namespace Base64 {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint32_t Bad = 0x01000000;

constexpr int sextetOf(unsigned char c)
{
    for (int i = 0; i < 64; ++i) {
        if (static_cast<unsigned char>(Alphabet[i]) == c) {
            return i;
        }
    }
    return -1;
}

constexpr std::array<std::uint32_t, 256> makeTable(int shift)
{
    std::array<std::uint32_t, 256> table {};
    for (int c = 0; c < 256; ++c) {
        const int s = sextetOf(static_cast<unsigned char>(c));
        table[c] = s < 0 ? Bad : static_cast<std::uint32_t>(s) << shift;
    }
    return table;
}

constexpr auto D0 = makeTable(18);
constexpr auto D1 = makeTable(12);
constexpr auto D2 = makeTable(6);
constexpr auto D3 = makeTable(0);

// put(out, c) writes one character of the encoding.
template<typename Put>
qsizetype encodeWith(const char* bytes, qsizetype size, char* out, Put put)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    const char* const start = out;
    qsizetype i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v =
            (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
        put(out, Alphabet[v >> 18]);
        put(out, Alphabet[(v >> 12) & 0x3f]);
        put(out, Alphabet[(v >> 6) & 0x3f]);
        put(out, Alphabet[v & 0x3f]);
    }
    const qsizetype rest = size - i;
    if (rest > 0) {
        std::uint32_t v = std::uint32_t(in[i]) << 16;
        if (rest == 2) {
            v |= std::uint32_t(in[i + 1]) << 8;
        }
        put(out, Alphabet[v >> 18]);
        put(out, Alphabet[(v >> 12) & 0x3f]);
        put(out, rest == 2 ? Alphabet[(v >> 6) & 0x3f] : '=');
        put(out, '=');
    }
    return out - start;
}

} // namespace

QByteArray encode(const QByteArray& bytes)
{
    QByteArray result(encodedSize(bytes.size()), Qt::Uninitialized);
    encodeTo(bytes.constData(), bytes.size(), result.data());
    return result;
}

qsizetype encodeTo(const char* bytes, qsizetype size, char* out)
{
    return encodeWith(bytes, size, out, [](char*& to, char c) { *to++ = c; });
}

qsizetype encodeForJson(const char* bytes, qsizetype size, char* out)
{
    return encodeWith(bytes, size, out, [](char*& to, char c) {
        if (c == '/') {
            *to++ = '\\';
        }
        *to++ = c;
    });
}

std::optional<QByteArray> decode(std::string_view text)
{
    const std::size_t size = text.size();
    if (size == 0) {
        return QByteArray();
    }
    if (size % 4 != 0) {
        return std::nullopt;
    }
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    // Padding: "xx==" or "xxx=" in the last quad only.
    std::size_t padding = 0;
    if (in[size - 1] == '=') {
        padding = in[size - 2] == '=' ? 2 : 1;
    }
    const std::size_t fullQuads = size / 4 - (padding > 0 ? 1 : 0);
    QByteArray result(static_cast<qsizetype>(size / 4 * 3 - padding), Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(result.data());

    std::uint32_t bad = 0;
    for (std::size_t q = 0; q < fullQuads; ++q) {
        const unsigned char* p = in + q * 4;
        const std::uint32_t v = D0[p[0]] | D1[p[1]] | D2[p[2]] | D3[p[3]];
        bad |= v;
        out[0] = static_cast<unsigned char>(v >> 16);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v);
        out += 3;
    }
    if (padding > 0) {
        const unsigned char* p = in + fullQuads * 4;
        std::uint32_t v = D0[p[0]] | D1[p[1]];
        if (padding == 1) {
            v |= D2[p[2]];
        }
        bad |= v;
        out[0] = static_cast<unsigned char>(v >> 16);
        if (padding == 1) {
            out[1] = static_cast<unsigned char>(v >> 8);
        }
    }
    // A misplaced '=' is outside the alphabet for the tables, so it is caught here too.
    if ((bad & Bad) != 0) {
        return std::nullopt;
    }
    return result;
}

} // namespace Base64
