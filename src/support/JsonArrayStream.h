#pragma once

// JsonArrayScanner over a file read a window at a time: the same top-level rules ('[', objects
// separated by commas, ']', nothing but white space after it), but only the objects of the
// current window are in memory, so a multi-gigabyte file is read with a few megabytes. The
// window grows to hold an object larger than itself (one huge image), never more.
//
//     JsonArrayStream stream(file, 16 << 20);
//     while (stream.next(&spans) == JsonArrayStream::Outcome::Objects) { parse stream.data() }
//
// The window keeps JsonFileBuffer::Padding zeroed bytes after its data, which simdjson reads
// past the end of its input.

#include "JsonArrayScanner.h"

#include <cstddef>
#include <memory>
#include <vector>

class QIODevice;

class JsonArrayStream final
{
public:
    enum class Outcome
    {
        Objects, // *spans lists the next complete objects, in data()
        End, // the array ended as it should; nothing more
        Invalid, // not an array of objects, or the device failed
        OutOfMemory, // an object too large to be held
    };

    JsonArrayStream(QIODevice& device, std::size_t window);
    ~JsonArrayStream();
    JsonArrayStream(const JsonArrayStream&) = delete;
    JsonArrayStream& operator=(const JsonArrayStream&) = delete;

    // The spans point into data() and stay valid until the next call.
    Outcome next(std::vector<JsonArrayScanner::Span>* spans);
    const char* data() const { return m_buffer.get(); }

private:
    enum class State
    {
        Open, // before '['
        FirstElement, // after '['
        Element, // after ','
        CommaOrClose, // after an object
        Trailing, // after ']'
    };
    enum class Fill
    {
        Read,
        Eof,
        Failed,
        OutOfMemory,
    };

    // Moves the unread part to the front and reads more, growing the window when it is full.
    Fill fill();

    QIODevice& m_device;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0; // without the padding
    std::size_t m_begin = 0; // first byte not yet consumed
    std::size_t m_end = 0; // end of the data read
    State m_state = State::Open;
    bool m_eof = false;
};
