#include "JsonFileBuffer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <new>
#include <simdjson.h>
#include <sys/mman.h>

static_assert(JsonFileBuffer::Padding == simdjson::SIMDJSON_PADDING);

bool JsonFileBuffer::allocate(std::size_t size)
{
    release();
    const std::size_t needed = size + Padding;
    if (needed >= HugePage) {
        // Over-allocate by one huge page so the data can start on a huge-page boundary.
        const std::size_t length = (needed + 2 * HugePage - 1) / HugePage * HugePage;
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE,
            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapping != MAP_FAILED) {
            const auto address = reinterpret_cast<std::uintptr_t>(mapping);
            const std::uintptr_t aligned = (address + HugePage - 1) & ~(HugePage - 1);
            ::madvise(
                reinterpret_cast<void*>(aligned), length - (aligned - address), MADV_HUGEPAGE);
            m_mapping = mapping;
            m_mappingLength = length;
            m_data = reinterpret_cast<char*>(aligned);
            m_size = size;
            return true; // anonymous memory is zero: the padding is ready
        }
    }
    m_owned.reset(new (std::nothrow) char[needed]);
    if (!m_owned) {
        return false;
    }
    std::memset(m_owned.get() + size, 0, Padding);
    m_data = m_owned.get();
    m_size = size;
    return true;
}

JsonFileBuffer::ReadOutcome JsonFileBuffer::read(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        return ReadOutcome::Unreadable;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ReadOutcome::Unreadable;
    }
    const qint64 size = file.size();
    if (size < 0) {
        return ReadOutcome::Unreadable;
    }
    if (!allocate(static_cast<std::size_t>(size))) {
        return ReadOutcome::OutOfMemory;
    }
    constexpr qint64 Chunk = qint64(64) << 20;
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(m_data + done, std::min(Chunk, size - done));
        if (got <= 0) {
            return ReadOutcome::Unreadable;
        }
        done += got;
    }
    // A file that grew while it was read is not the file whose size we trusted.
    char probe = 0;
    if (file.read(&probe, 1) != 0) {
        return ReadOutcome::Unreadable;
    }
    return ReadOutcome::Read;
}

void JsonFileBuffer::release()
{
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_mappingLength);
    }
    m_mapping = nullptr;
    m_mappingLength = 0;
    m_owned.reset();
    m_data = nullptr;
    m_size = 0;
}
