#pragma once

// The top level of a document that is one array of objects: '[', objects separated by commas,
// ']' and nothing but white space after it. The scanner finds where each object lies without
// parsing it, so that each can be parsed and validated on its own (StrictJsonParser): the
// tree of a whole data file would cost several times the file's size, and simdjson stops at
// 4 GiB. Brackets are only counted and strings skipped with memchr; the element's parser checks
// everything else.

#include <cstddef>
#include <vector>

class JsonArrayScanner final
{
public:
    struct Span
    {
        std::size_t begin = 0;
        std::size_t end = 0; // just past the closing bracket
    };

    // False for anything but an array of objects.
    static bool scan(const char* data, std::size_t size, std::vector<Span>* spans);

    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);
    // data[begin] opens an object: the index just past the bracket that closes it, or NotFound
    // when it does not close before size. Brackets are only counted here; the object's parser
    // checks that they match.
    static std::size_t findObjectEnd(const char* data, std::size_t begin, std::size_t size);
    // The first index from pos that is not JSON white space (size when only white space is left).
    static std::size_t skipSpace(const char* data, std::size_t pos, std::size_t size);
};
