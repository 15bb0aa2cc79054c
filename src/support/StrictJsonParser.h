#pragma once

// Strict JSON reading for Norvale's data files, on simdjson. A document is one RFC 8259 value
// in valid UTF-8 with nothing but white space after it: numbers, literals, escapes (unpaired
// surrogates included) and control characters are checked everywhere, in members no reader
// knows as much as in the others, and nesting is bounded. The parsed tree is read through
// StrictJsonObject, which adds the rules simdjson leaves to its caller.

#include <QString>

#include <cstddef>
#include <simdjson.h>

class StrictJsonParser final
{
public:
    enum class Outcome
    {
        Parsed,
        Invalid, // the bytes are not one valid JSON value
        OutOfResources, // the document may be fine; we could not hold its tree
    };

    // Nothing Norvale writes nests more than a few levels; the bound keeps a hostile file from
    // costing more than a document deserves.
    static constexpr std::size_t MaximumDepth = 512;

    // data must stay readable for JsonFileBuffer::Padding bytes past size. The tree lives until
    // the next parse; the parser's buffers are kept and grown for the documents that follow.
    Outcome parse(const char* data, std::size_t size, simdjson::dom::element* root);
    // Why the last document was refused.
    QString error() const { return m_error; }

private:
    simdjson::dom::parser m_parser;
    QString m_error;
};
