#pragma once

// RFC 3629 UTF-8, fed in pieces: no overlong forms, no surrogates, nothing above U+10FFFF,
// no stray or missing continuation bytes. ASCII runs are checked eight bytes at a time.

#include <QtGlobal>

#include <cstring>

class StrictUtf8Validator final
{
public:
    bool feed(const char* data, qsizetype size)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        qsizetype i = 0;
        while (i < size) {
            if (m_needed == 0) {
                while (i + 8 <= size) {
                    quint64 word;
                    std::memcpy(&word, bytes + i, sizeof word);
                    if ((word & 0x8080808080808080ULL) != 0) {
                        break;
                    }
                    i += 8;
                }
                if (i == size) {
                    break;
                }
                const unsigned char lead = bytes[i++];
                if (lead < 0x80) {
                    continue;
                }
                if (lead < 0xC2) {
                    return false;
                }
                m_lowest = 0x80;
                m_highest = 0xBF;
                if (lead < 0xE0) {
                    m_needed = 1;
                } else if (lead < 0xF0) {
                    m_needed = 2;
                    if (lead == 0xE0) {
                        m_lowest = 0xA0; // overlong below U+0800
                    } else if (lead == 0xED) {
                        m_highest = 0x9F; // surrogates
                    }
                } else if (lead < 0xF5) {
                    m_needed = 3;
                    if (lead == 0xF0) {
                        m_lowest = 0x90; // overlong below U+10000
                    } else if (lead == 0xF4) {
                        m_highest = 0x8F; // above U+10FFFF
                    }
                } else {
                    return false;
                }
                continue;
            }
            const unsigned char next = bytes[i++];
            if (next < m_lowest || next > m_highest) {
                return false;
            }
            m_lowest = 0x80;
            m_highest = 0xBF;
            --m_needed;
        }
        return true;
    }

    bool finish() const { return m_needed == 0; }

    static bool isValid(const char* data, qsizetype size)
    {
        StrictUtf8Validator validator;
        return validator.feed(data, size) && validator.finish();
    }

private:
    int m_needed = 0;
    unsigned char m_lowest = 0x80;
    unsigned char m_highest = 0xBF;
};
