#include "ClipboardHistoryReader.h"

#include "support/Base64.h"
#include "support/IsoDate.h"
#include "support/JsonArrayScanner.h"
#include "support/JsonArrayStream.h"
#include "support/StrictJsonObject.h"
#include "support/StrictJsonParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Outcome = ClipboardHistoryReader::Outcome;
using Span = JsonArrayScanner::Span;

enum Member
{
    CreatedAt,
    Fingerprint,
    Id,
    ImageData,
    Kind,
    TextMember,
};
constexpr std::string_view Members[] = {
    "createdAt", "fingerprint", "id", "imageData", "kind", "text"};

bool decodeItem(simdjson::dom::element element, const ClipboardHistoryReader::ImageSink& sink,
    ClipboardHistoryItem* item)
{
    StrictJsonObject object(Members, nullptr);
    QString createdAt;
    QString kind;
    std::optional<QString> fingerprint;
    std::optional<std::string_view> imageData;
    if (!object.read(element) || !object.uuid(Id, &item->id) || !object.string(Kind, &kind) ||
        !object.string(CreatedAt, &createdAt) || !object.optionalString(TextMember, &item->text) ||
        !object.optionalUtf8(ImageData, &imageData) ||
        !object.optionalString(Fingerprint, &fingerprint)) {
        return false;
    }
    const std::optional<ClipboardHistoryKind> parsedKind = clipboardHistoryKindFromName(kind);
    const std::optional<QDateTime> date = IsoDate::parse(createdAt);
    if (!parsedKind || !date) {
        return false;
    }
    item->kind = *parsedKind;
    item->createdAt = *date;
    std::optional<QByteArray> bytes;
    if (imageData) {
        bytes = Base64::decode(*imageData);
        if (!bytes) {
            return false;
        }
    }
    item->fingerprint = fingerprint
        ? *fingerprint
        : ClipboardHistoryItem::makeFingerprint(item->kind, item->text, bytes);
    if (bytes) {
        item->imageData = sink ? sink(std::move(*bytes)) : ClipboardImageBytes(std::move(*bytes));
    }
    return true;
}

// Parses and decodes the objects of [first, last) in order.
Outcome decodeSpans(const char* data, const Span* first, const Span* last,
    const ClipboardHistoryReader::ImageSink& sink, QList<ClipboardHistoryItem>* items)
{
    if (first == last) {
        return Outcome::Decoded;
    }
    StrictJsonParser parser;
    items->reserve(last - first);
    for (const Span* span = first; span != last; ++span) {
        simdjson::dom::element element;
        switch (parser.parse(data + span->begin, span->end - span->begin, &element)) {
        case StrictJsonParser::Outcome::Parsed:
            break;
        case StrictJsonParser::Outcome::Invalid:
            return Outcome::Invalid;
        case StrictJsonParser::Outcome::OutOfResources:
            return Outcome::OutOfResources;
        }
        ClipboardHistoryItem item;
        if (!decodeItem(element, sink, &item)) {
            return Outcome::Invalid;
        }
        items->append(std::move(item));
    }
    return Outcome::Decoded;
}

// Below this size one thread decodes everything; above it the objects are shared out among
// the cores (mostly Base64 decoding and faulting in the decoded images).
constexpr size_t ParallelThreshold = size_t(8) << 20;
constexpr unsigned MaxParts = 4;

// Decodes the objects at spans, appending their items in file order. Large runs are decoded
// in a few contiguous parts of about equal byte size at once, so the parts finish together.
Outcome decodeObjects(const char* data, const std::vector<Span>& spans,
    const ClipboardHistoryReader::ImageSink& sink, QList<ClipboardHistoryItem>* items)
{
    if (spans.empty()) {
        return Outcome::Decoded;
    }
    const size_t base = spans.front().begin;
    const size_t size = spans.back().end - base;
    size_t parts = 1;
    if (size >= ParallelThreshold) {
        parts = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, MaxParts);
    }
    parts = std::max<size_t>(1, std::min(parts, spans.size()));
    std::vector<size_t> bounds {0};
    for (size_t part = 1, index = 0; part < parts; ++part) {
        const size_t target = base + size / parts * part;
        while (index < spans.size() && spans[index].begin < target) {
            ++index;
        }
        bounds.push_back(std::max(index, bounds.back()));
    }
    bounds.push_back(spans.size());

    std::vector<QList<ClipboardHistoryItem>> decoded(parts);
    std::vector<Outcome> outcomes(parts, Outcome::Invalid);
    const auto run = [&](size_t part) {
        outcomes[part] = decodeSpans(data, spans.data() + bounds[part],
            spans.data() + bounds[part + 1], sink, &decoded[part]);
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

    if (std::find(outcomes.begin(), outcomes.end(), Outcome::Invalid) != outcomes.end()) {
        return Outcome::Invalid;
    }
    if (std::find(outcomes.begin(), outcomes.end(), Outcome::OutOfResources) != outcomes.end()) {
        return Outcome::OutOfResources;
    }
    items->reserve(items->size() + static_cast<qsizetype>(spans.size()));
    for (QList<ClipboardHistoryItem>& part : decoded) {
        for (ClipboardHistoryItem& item : part) {
            items->append(std::move(item));
        }
        part.clear();
    }
    return Outcome::Decoded;
}

} // namespace

ClipboardHistoryReader::Result ClipboardHistoryReader::decode(
    QIODevice& device, const ImageSink& sink, std::size_t window)
{
    Result result;
    JsonArrayStream stream(device, window);
    std::vector<Span> spans;
    for (;;) {
        switch (stream.next(&spans)) {
        case JsonArrayStream::Outcome::Objects:
            result.outcome = decodeObjects(stream.data(), spans, sink, &result.items);
            if (result.outcome == Outcome::Decoded) {
                continue;
            }
            break;
        case JsonArrayStream::Outcome::End:
            result.outcome = Outcome::Decoded;
            return result;
        case JsonArrayStream::Outcome::Invalid:
            result.outcome = Outcome::Invalid;
            break;
        case JsonArrayStream::Outcome::OutOfMemory:
            result.outcome = Outcome::OutOfResources;
            break;
        }
        result.items.clear();
        return result;
    }
}
