#pragma once

// A whole file in memory, followed by the zeroed padding simdjson reads past the end of its
// input. Fresh memory is costly here: every 4 KiB page is a fault, and on virtual machines a
// fault can cost tens of microseconds, more than parsing that page. A large buffer is therefore
// mapped on its own and offered for transparent huge pages, which turns thousands of faults
// into a few dozen; its pages may also be handed back as a reader consumes them.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class JsonFileBuffer final
{
public:
    static constexpr std::size_t Padding = 64; // simdjson::SIMDJSON_PADDING
    static constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;

    enum class ReadOutcome
    {
        Read,
        Unreadable,
        OutOfMemory
    };

    JsonFileBuffer() = default;
    ~JsonFileBuffer() { release(); }
    JsonFileBuffer(const JsonFileBuffer&) = delete;
    JsonFileBuffer& operator=(const JsonFileBuffer&) = delete;

    // Room for size bytes and the padding; false when the memory cannot be had.
    bool allocate(std::size_t size);
    // The whole of path. A file that changes size while it is read is unreadable.
    ReadOutcome read(const QString& path);

    char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    // A private anonymous mapping: consumed pages may be given back with MADV_DONTNEED and
    // then read as zeros.
    bool isMapped() const { return m_mapping != nullptr; }
    void release();

private:
    void* m_mapping = nullptr;
    std::size_t m_mappingLength = 0;
    std::unique_ptr<char[]> m_owned;
    char* m_data = nullptr;
    std::size_t m_size = 0;
};
