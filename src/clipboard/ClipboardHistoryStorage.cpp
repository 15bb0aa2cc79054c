#include "ClipboardHistoryStorage.h"

#include "support/Base64.h"
#include "support/IsoDate.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"
#include "support/Uuid.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <simdjson.h>
#include <string_view>
#include <sys/mman.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

// Reading. The file is one array of objects that may pass 2 GiB, mostly Base64. simdjson's
// parsers reserve several times the document's size up front (structural indexes, tape,
// string buffer) and stop at 4 GiB, so the array is not handed to simdjson whole: a small
// scanner walks the top level (brackets, commas, white space) and finds each element's end by
// skipping strings with memchr, and every element is parsed and fully validated on its own
// by a DOM parser whose buffers are reused. Only the file itself and the decoded items are
// held in memory at once.
//
// Strictness: the whole file is rejected when it is not an array of objects, has anything
// after the closing bracket, or any element breaks a rule ("id", "kind", "createdAt" required;
// a known key with another JSON type; null only for "text", "imageData" and "fingerprint";
// strict UUID, date and Base64). A known key that appears twice in one object also rejects
// the file: the writer never produces it and there is no telling which value was meant.
// Unknown keys are ignored.

namespace {

const QString FileName = QStringLiteral("ClipboardHistory.json");

enum class DecodeOutcome
{
    Decoded,
    Invalid, // the bytes are not a history file
    OutOfResources, // the file may be fine; we could not hold it
};

struct DecodeResult
{
    DecodeOutcome outcome = DecodeOutcome::Invalid;
    QList<ClipboardHistoryItem> items;
};

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

size_t skipSpace(const char* data, size_t pos, size_t size)
{
    while (pos < size && isJsonSpace(data[pos])) {
        ++pos;
    }
    return pos;
}

constexpr size_t NotFound = static_cast<size_t>(-1);

// data[begin] opens an object. Returns the index just past the bracket that closes it, or
// NotFound. Brackets are only counted here; the element's parser checks that they match.
size_t findContainerEnd(const char* data, size_t begin, size_t size)
{
    size_t depth = 0;
    size_t i = begin;
    while (i < size) {
        const char c = data[i];
        if (c == '"') {
            const size_t contentBegin = i + 1;
            size_t from = contentBegin;
            for (;;) {
                const void* found = std::memchr(data + from, '"', size - from);
                if (found == nullptr) {
                    return NotFound;
                }
                const size_t quote = static_cast<size_t>(static_cast<const char*>(found) - data);
                size_t backslashes = 0;
                while (
                    quote - backslashes > contentBegin && data[quote - 1 - backslashes] == '\\') {
                    ++backslashes;
                }
                if (backslashes % 2 == 0) {
                    i = quote + 1;
                    break;
                }
                from = quote + 1;
            }
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) {
                return i + 1;
            }
        }
        ++i;
    }
    return NotFound;
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

enum KeyIndex
{
    CreatedAt,
    Fingerprint,
    Id,
    ImageData,
    Kind,
    TextKey,
    KeyCount
};

int keyIndex(std::string_view key)
{
    if (key == "createdAt") {
        return CreatedAt;
    }
    if (key == "fingerprint") {
        return Fingerprint;
    }
    if (key == "id") {
        return Id;
    }
    if (key == "imageData") {
        return ImageData;
    }
    if (key == "kind") {
        return Kind;
    }
    if (key == "text") {
        return TextKey;
    }
    return -1;
}

std::optional<ClipboardHistoryItem> decodeItem(simdjson::dom::element element)
{
    using simdjson::dom::element_type;
    simdjson::dom::object object;
    if (element.get_object().get(object) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    ClipboardHistoryItem item;
    bool seen[KeyCount] = {};
    bool hasFingerprint = false;
    for (const simdjson::dom::key_value_pair field : object) {
        const int index = keyIndex(field.key);
        if (index < 0) {
            continue;
        }
        if (seen[index]) {
            return std::nullopt;
        }
        seen[index] = true;
        const element_type type = field.value.type();
        if (type == element_type::NULL_VALUE &&
            (index == TextKey || index == ImageData || index == Fingerprint)) {
            continue;
        }
        if (type != element_type::STRING) {
            return std::nullopt;
        }
        std::string_view string;
        if (field.value.get_string().get(string) != simdjson::SUCCESS) {
            return std::nullopt;
        }
        switch (index) {
        case CreatedAt: {
            const std::optional<QDateTime> date = IsoDate::parse(fromUtf8(string));
            if (!date) {
                return std::nullopt;
            }
            item.createdAt = *date;
            break;
        }
        case Fingerprint:
            item.fingerprint = fromUtf8(string);
            hasFingerprint = true;
            break;
        case Id: {
            const std::optional<QUuid> id = Uuid::parse(fromUtf8(string));
            if (!id) {
                return std::nullopt;
            }
            item.id = *id;
            break;
        }
        case ImageData: {
            std::optional<QByteArray> bytes = Base64::decode(string);
            if (!bytes) {
                return std::nullopt;
            }
            item.imageData = std::move(*bytes);
            break;
        }
        case Kind: {
            const std::optional<ClipboardHistoryKind> kind =
                clipboardHistoryKindFromName(fromUtf8(string));
            if (!kind) {
                return std::nullopt;
            }
            item.kind = *kind;
            break;
        }
        case TextKey:
            item.text = fromUtf8(string);
            break;
        default:
            break;
        }
    }
    if (!seen[Id] || !seen[Kind] || !seen[CreatedAt]) {
        return std::nullopt;
    }
    if (!hasFingerprint) {
        item.fingerprint =
            ClipboardHistoryItem::makeFingerprint(item.kind, item.text, item.imageData);
    }
    return item;
}

bool isResourceError(simdjson::error_code error)
{
    return error == simdjson::MEMALLOC || error == simdjson::CAPACITY;
}

struct Span
{
    size_t begin = 0;
    size_t end = 0;
};

// Checks the top level, '[' then objects separated by commas then ']' and nothing but white
// space after it, and finds where each object lies. False for anything else.
bool scanTopLevel(const char* data, size_t size, std::vector<Span>* spans)
{
    size_t pos = skipSpace(data, 0, size);
    if (pos >= size || data[pos] != '[') {
        return false;
    }
    pos = skipSpace(data, pos + 1, size);
    if (pos < size && data[pos] == ']') {
        return skipSpace(data, pos + 1, size) == size;
    }
    for (;;) {
        if (pos >= size || data[pos] != '{') {
            return false;
        }
        const size_t end = findContainerEnd(data, pos, size);
        if (end == NotFound) {
            return false;
        }
        spans->push_back({pos, end});
        pos = skipSpace(data, end, size);
        if (pos >= size) {
            return false;
        }
        if (data[pos] == ',') {
            pos = skipSpace(data, pos + 1, size);
            continue;
        }
        return data[pos] == ']' && skipSpace(data, pos + 1, size) == size;
    }
}

constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;

// Hands the decoded part of a mapped file buffer back to the system as the load goes on, so a
// large history is not held twice (as text and as decoded bytes) at the peak of a load. Only
// whole huge pages go, and in batches: splitting huge pages costs more than the decoding.
// What is given back stays readable as zeros, which is all simdjson's padding reads past the
// end of a neighbouring part's last object need.
class ConsumedPages final
{
public:
    ConsumedPages(bool enabled, const char* begin)
        : m_enabled(enabled)
        , m_released(alignUp(reinterpret_cast<std::uintptr_t>(begin)))
    { }

    void consumedUpTo(const char* end)
    {
        const std::uintptr_t target = reinterpret_cast<std::uintptr_t>(end) & ~(HugePage - 1);
        if (!m_enabled || target < m_released + Batch) {
            return;
        }
        ::madvise(reinterpret_cast<void*>(m_released), target - m_released, MADV_DONTNEED);
        m_released = target;
    }

private:
    static constexpr std::uintptr_t Batch = 4 * HugePage;

    static std::uintptr_t alignUp(std::uintptr_t address)
    {
        return (address + HugePage - 1) & ~(HugePage - 1);
    }

    bool m_enabled;
    std::uintptr_t m_released;
};

// Parses and decodes the objects of [first, last) in order.
DecodeOutcome decodeSpans(const char* data, const Span* first, const Span* last,
    bool releaseConsumed, QList<ClipboardHistoryItem>* items)
{
    if (first == last) {
        return DecodeOutcome::Decoded;
    }
    simdjson::dom::parser parser;
    ConsumedPages consumed(releaseConsumed, data + first->begin);
    items->reserve(last - first);
    for (const Span* span = first; span != last; ++span) {
        const size_t length = span->end - span->begin;
        if (length > simdjson::SIMDJSON_MAXSIZE_BYTES) {
            return DecodeOutcome::OutOfResources;
        }
        if (length > parser.capacity()) {
            // Grow geometrically so a history of ever larger images does not reallocate for
            // every element.
            const size_t wanted =
                std::max(length, std::min(parser.capacity() * 2, simdjson::SIMDJSON_MAXSIZE_BYTES));
            if (parser.allocate(wanted) != simdjson::SUCCESS) {
                return DecodeOutcome::OutOfResources;
            }
        }
        simdjson::dom::element element;
        const simdjson::error_code error =
            parser.parse(data + span->begin, length, false).get(element);
        if (error != simdjson::SUCCESS) {
            return isResourceError(error) ? DecodeOutcome::OutOfResources : DecodeOutcome::Invalid;
        }
        std::optional<ClipboardHistoryItem> item = decodeItem(element);
        if (!item) {
            return DecodeOutcome::Invalid;
        }
        items->append(std::move(*item));
        consumed.consumedUpTo(data + span->end);
    }
    return DecodeOutcome::Decoded;
}

// Below this size one thread decodes everything; above it the objects are shared out among
// the cores (mostly Base64 decoding and faulting in the decoded images).
constexpr size_t ParallelThreshold = size_t(8) << 20;
constexpr unsigned MaxParts = 4;

// data must stay readable for simdjson::SIMDJSON_PADDING bytes past size. releaseConsumed:
// data is a private anonymous mapping that may be emptied as it is consumed.
DecodeResult decodeBuffer(const char* data, size_t size, bool releaseConsumed)
{
    DecodeResult result;
    std::vector<Span> spans;
    if (!scanTopLevel(data, size, &spans)) {
        return result;
    }

    // Contiguous runs of objects of about equal byte size, so the parts finish together and
    // the items come back in file order.
    size_t parts = 1;
    if (size >= ParallelThreshold) {
        parts = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, MaxParts);
    }
    parts = std::max<size_t>(1, std::min(parts, spans.size()));
    std::vector<size_t> bounds {0};
    for (size_t part = 1, index = 0; part < parts; ++part) {
        const size_t target = size / parts * part;
        while (index < spans.size() && spans[index].begin < target) {
            ++index;
        }
        bounds.push_back(std::max(index, bounds.back()));
    }
    bounds.push_back(spans.size());

    std::vector<QList<ClipboardHistoryItem>> decoded(parts);
    std::vector<DecodeOutcome> outcomes(parts, DecodeOutcome::Invalid);
    const auto run = [&](size_t part) {
        outcomes[part] = decodeSpans(data, spans.data() + bounds[part],
            spans.data() + bounds[part + 1], releaseConsumed, &decoded[part]);
    };
    std::vector<std::thread> threads;
    for (size_t part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(run, part);
        } catch (const std::system_error&) {
            run(part); // no thread to be had: do it here
        }
    }
    run(0);
    for (std::thread& thread : threads) {
        thread.join();
    }

    for (const DecodeOutcome outcome : outcomes) {
        if (outcome == DecodeOutcome::Invalid) {
            return result;
        }
    }
    for (const DecodeOutcome outcome : outcomes) {
        if (outcome != DecodeOutcome::Decoded) {
            result.outcome = outcome;
            return result;
        }
    }
    result.items.reserve(static_cast<qsizetype>(spans.size()));
    for (QList<ClipboardHistoryItem>& part : decoded) {
        for (ClipboardHistoryItem& item : part) {
            result.items.append(std::move(item));
        }
        part.clear();
    }
    result.outcome = DecodeOutcome::Decoded;
    return result;
}

// The whole file, followed by simdjson's padding. Fresh memory is costly here: every 4 KiB
// page is a fault, and on virtual machines a fault can cost tens of microseconds, more than
// the parsing of that page. A large buffer is therefore mapped on its own and offered for
// transparent huge pages, which turns thousands of faults into a few dozen.
class PaddedBuffer final
{
public:
    PaddedBuffer() = default;
    ~PaddedBuffer() { release(); }
    PaddedBuffer(const PaddedBuffer&) = delete;
    PaddedBuffer& operator=(const PaddedBuffer&) = delete;

    bool allocate(size_t size)
    {
        release();
        const size_t needed = size + simdjson::SIMDJSON_PADDING;
        if (needed >= HugePage) {
            // Over-allocate by one huge page so the data can start on a huge-page boundary.
            const size_t length = (needed + 2 * HugePage - 1) / HugePage * HugePage;
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
        std::memset(m_owned.get() + size, 0, simdjson::SIMDJSON_PADDING);
        m_data = m_owned.get();
        m_size = size;
        return true;
    }

    char* data() const { return m_data; }
    bool isMapped() const { return m_mapping != nullptr; }
    size_t size() const { return m_size; }

    void release()
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

private:
    void* m_mapping = nullptr;
    size_t m_mappingLength = 0;
    std::unique_ptr<char[]> m_owned;
    char* m_data = nullptr;
    size_t m_size = 0;
};

enum class ReadOutcome
{
    Read,
    Unreadable,
    OutOfMemory
};

ReadOutcome readWholeFile(const QString& path, PaddedBuffer* buffer)
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
    if (!buffer->allocate(static_cast<size_t>(size))) {
        return ReadOutcome::OutOfMemory;
    }
    constexpr qint64 Chunk = qint64(64) << 20;
    qint64 done = 0;
    while (done < size) {
        const qint64 got = file.read(buffer->data() + done, std::min(Chunk, size - done));
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

// Image bytes are written as Base64 with every "/" escaped as "\/", like the slashes of every
// other string in the file, straight into one buffer that is reused for every image of a save:
// no per-image allocation, and no fresh pages to fault in.
class EscapedBase64 final
{
public:
    std::string_view encode(const QByteArray& bytes)
    {
        static constexpr char Alphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const auto size = static_cast<size_t>(bytes.size());
        // Worst case: every character is a slash and takes two.
        const size_t worst = (size + 2) / 3 * 8;
        if (worst > m_capacity) {
            m_buffer.reset(new char[worst]);
            m_capacity = worst;
        }
        const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
        char* out = m_buffer.get();
        const auto put = [&out](char c) {
            if (c == '/') {
                *out++ = '\\';
            }
            *out++ = c;
        };
        size_t i = 0;
        for (; i + 3 <= size; i += 3) {
            const std::uint32_t v = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) |
                std::uint32_t(in[i + 2]);
            put(Alphabet[v >> 18]);
            put(Alphabet[(v >> 12) & 0x3f]);
            put(Alphabet[(v >> 6) & 0x3f]);
            put(Alphabet[v & 0x3f]);
        }
        if (const size_t rest = size - i; rest > 0) {
            std::uint32_t v = std::uint32_t(in[i]) << 16;
            if (rest == 2) {
                v |= std::uint32_t(in[i + 1]) << 8;
            }
            put(Alphabet[v >> 18]);
            put(Alphabet[(v >> 12) & 0x3f]);
            if (rest == 2) {
                put(Alphabet[(v >> 6) & 0x3f]);
            } else {
                *out++ = '=';
            }
            *out++ = '=';
        }
        return {m_buffer.get(), static_cast<size_t>(out - m_buffer.get())};
    }

private:
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
};

void writeItems(JsonWriter& writer, const QList<ClipboardHistoryItem>& items)
{
    EscapedBase64 base64;
    writer.beginArray();
    for (const ClipboardHistoryItem& item : items) {
        writer.beginObject();
        writer.key(u"createdAt");
        writer.value(IsoDate::format(item.createdAt));
        writer.key(u"fingerprint");
        writer.value(item.fingerprint);
        writer.key(u"id");
        writer.value(Uuid::toText(item.id));
        if (item.imageData) {
            writer.key(u"imageData");
            const std::string_view text = base64.encode(*item.imageData);
            writer.asciiValue(text.data(), static_cast<qsizetype>(text.size()));
        }
        writer.key(u"kind");
        writer.value(clipboardHistoryKindName(item.kind));
        if (item.text) {
            writer.key(u"text");
            writer.value(*item.text);
        }
        writer.endObject();
    }
    writer.endArray();
}

} // namespace

ClipboardHistoryStorage::ClipboardHistoryStorage(QString directory)
    : m_directory(std::move(directory))
{ }

QString ClipboardHistoryStorage::fileURL() const
{
    return m_directory + QLatin1Char('/') + FileName;
}

ClipboardHistoryStorage::LoadResult ClipboardHistoryStorage::load() const
{
    LoadResult result;
    // Tighten a folder left open by an earlier build before anything else reads it.
    if (QFileInfo(m_directory).isDir()) {
        PrivateFiles::ensureDirectory(m_directory);
    }
    const QString path = fileURL();
    if (!QFileInfo::exists(path)) {
        result.status = LoadStatus::Missing;
        return result;
    }

    PaddedBuffer buffer;
    switch (readWholeFile(path, &buffer)) {
    case ReadOutcome::Read: {
        DecodeResult decoded = decodeBuffer(buffer.data(), buffer.size(), buffer.isMapped());
        buffer.release();
        if (decoded.outcome == DecodeOutcome::Decoded) {
            result.status = LoadStatus::Loaded;
            result.items = std::move(decoded.items);
        } else {
            result.status = decoded.outcome == DecodeOutcome::Invalid ? LoadStatus::Unreadable
                                                                      : LoadStatus::TooLarge;
        }
        return result;
    }
    case ReadOutcome::Unreadable:
        result.status = LoadStatus::Unreadable;
        return result;
    case ReadOutcome::OutOfMemory:
        break;
    }
    result.status = LoadStatus::TooLarge;
    return result;
}

bool ClipboardHistoryStorage::saveSynchronously(
    const QList<ClipboardHistoryItem>& items, QString* error) const
{
    return PrivateFiles::writeAtomically(
        fileURL(), [&items](QIODevice& device) { return encode(items, device); }, error);
}

bool ClipboardHistoryStorage::encode(const QList<ClipboardHistoryItem>& items, QIODevice& device)
{
    JsonWriter writer(&device, JsonWriter::Style::Pretty);
    writeItems(writer, items);
    return writer.finish();
}

QByteArray ClipboardHistoryStorage::encode(const QList<ClipboardHistoryItem>& items)
{
    JsonWriter writer(JsonWriter::Style::Pretty);
    writeItems(writer, items);
    writer.finish();
    return writer.result();
}

std::optional<QList<ClipboardHistoryItem>> ClipboardHistoryStorage::decode(const QByteArray& json)
{
    PaddedBuffer buffer;
    if (!buffer.allocate(static_cast<size_t>(json.size()))) {
        return std::nullopt;
    }
    std::memcpy(buffer.data(), json.constData(), buffer.size());
    DecodeResult decoded = decodeBuffer(buffer.data(), buffer.size(), buffer.isMapped());
    if (decoded.outcome != DecodeOutcome::Decoded) {
        return std::nullopt;
    }
    return std::move(decoded.items);
}
