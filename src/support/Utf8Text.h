#pragma once

// Text that is already known to be valid UTF-8 (a checked file, or a string simdjson has
// validated) to QString. QString::fromUtf8 would check it again, drop a byte order mark at the
// start (silently stripping U+FEFF from the start of a title, a content or a copied text) and
// allocate for the worst case (three times what Japanese text needs, kept for the life of the
// store); this sizes the string exactly and keeps every character.

#include <QString>

inline QString validUtf8ToString(const char* data, qsizetype size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype units = 0;
    for (qsizetype i = 0; i < size; ++i) {
        units += (bytes[i] & 0xC0) != 0x80 ? 1 : 0;
        units += bytes[i] >= 0xF0 ? 1 : 0;
    }
    if (units == size) {
        return QString::fromLatin1(data, size);
    }
    QString text(units, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size;) {
        const char32_t lead = bytes[i];
        if (lead < 0x80) {
            *out++ = static_cast<char16_t>(lead);
            i += 1;
        } else if (lead < 0xE0) {
            *out++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
        } else if (lead < 0xF0) {
            *out++ = static_cast<char16_t>(
                ((lead & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
            i += 3;
        } else {
            const char32_t c = (((lead & 0x07) << 18) | ((bytes[i + 1] & 0x3F) << 12) |
                                   ((bytes[i + 2] & 0x3F) << 6) | (bytes[i + 3] & 0x3F)) -
                0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            i += 4;
        }
    }
    return text;
}

inline QString validUtf8ToString(const QByteArray& bytes)
{
    return validUtf8ToString(bytes.constData(), bytes.size());
}
