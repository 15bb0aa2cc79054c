#include "JsonArrayStream.h"

#include "JsonFileBuffer.h"

#include <QIODevice>

#include <cstring>
#include <new>

JsonArrayStream::JsonArrayStream(QIODevice& device, std::size_t window)
    : m_device(device)
    , m_capacity(std::max<std::size_t>(window, 1))
{ }

JsonArrayStream::~JsonArrayStream() = default;

JsonArrayStream::Fill JsonArrayStream::fill()
{
    if (!m_buffer) {
        m_buffer.reset(new (std::nothrow) char[m_capacity + JsonFileBuffer::Padding]);
        if (!m_buffer) {
            return Fill::OutOfMemory;
        }
    }
    if (m_begin > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_capacity) {
        const std::size_t capacity = m_capacity * 2;
        std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + JsonFileBuffer::Padding]);
        if (!grown) {
            return Fill::OutOfMemory;
        }
        std::memcpy(grown.get(), m_buffer.get(), m_end);
        m_buffer = std::move(grown);
        m_capacity = capacity;
    }
    const qint64 read = m_device.read(m_buffer.get() + m_end, qint64(m_capacity - m_end));
    if (read < 0) {
        return Fill::Failed;
    }
    m_end += std::size_t(read);
    std::memset(m_buffer.get() + m_end, 0, JsonFileBuffer::Padding);
    return read == 0 ? Fill::Eof : Fill::Read;
}

JsonArrayStream::Outcome JsonArrayStream::next(std::vector<JsonArrayScanner::Span>* spans)
{
    spans->clear();
    for (;;) {
        const char* data = m_buffer.get();
        for (;;) {
            const std::size_t pos =
                data ? JsonArrayScanner::skipSpace(data, m_begin, m_end) : m_end;
            if (pos == m_end) {
                m_begin = pos;
                break; // needs more
            }
            const char c = data[pos];
            if (m_state == State::Open) {
                if (c != '[') {
                    return Outcome::Invalid;
                }
                m_state = State::FirstElement;
                m_begin = pos + 1;
            } else if (m_state == State::FirstElement && c == ']') {
                m_state = State::Trailing;
                m_begin = pos + 1;
            } else if (m_state == State::FirstElement || m_state == State::Element) {
                if (c != '{') {
                    return Outcome::Invalid;
                }
                const std::size_t end = JsonArrayScanner::findObjectEnd(data, pos, m_end);
                if (end == JsonArrayScanner::NotFound) {
                    m_begin = pos;
                    break; // the rest of the object is still to be read
                }
                spans->push_back({pos, end});
                m_state = State::CommaOrClose;
                m_begin = end;
            } else if (m_state == State::CommaOrClose && (c == ',' || c == ']')) {
                m_state = c == ',' ? State::Element : State::Trailing;
                m_begin = pos + 1;
            } else {
                return Outcome::Invalid;
            }
        }
        // What is complete is handed out before more is read, so the window stays small.
        if (!spans->empty()) {
            return Outcome::Objects;
        }
        if (m_eof) {
            return m_state == State::Trailing ? Outcome::End : Outcome::Invalid;
        }
        switch (fill()) {
        case Fill::Read:
            break;
        case Fill::Eof:
            m_eof = true;
            break;
        case Fill::Failed:
            return Outcome::Invalid;
        case Fill::OutOfMemory:
            return Outcome::OutOfMemory;
        }
    }
}
