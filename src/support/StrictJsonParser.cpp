#include "StrictJsonParser.h"

#include <algorithm>

StrictJsonParser::Outcome StrictJsonParser::parse(
    const char* data, std::size_t size, simdjson::dom::element* root)
{
    m_error.clear();
    if (size > simdjson::SIMDJSON_MAXSIZE_BYTES) {
        m_error = QStringLiteral("the document is too large to parse");
        return Outcome::OutOfResources;
    }
    if (size > m_parser.capacity() || m_parser.max_depth() != MaximumDepth) {
        // Grow geometrically so a run of ever larger documents does not reallocate each time.
        const std::size_t wanted =
            std::max(size, std::min(m_parser.capacity() * 2, simdjson::SIMDJSON_MAXSIZE_BYTES));
        if (m_parser.allocate(wanted, MaximumDepth) != simdjson::SUCCESS) {
            m_error = QStringLiteral("no memory for the document's tree");
            return Outcome::OutOfResources;
        }
    }
    const simdjson::error_code error = m_parser.parse(data, size, false).get(*root);
    if (error == simdjson::SUCCESS) {
        return Outcome::Parsed;
    }
    m_error = QString::fromUtf8(simdjson::error_message(error));
    return error == simdjson::MEMALLOC || error == simdjson::CAPACITY ? Outcome::OutOfResources
                                                                      : Outcome::Invalid;
}
