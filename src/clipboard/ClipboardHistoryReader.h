#pragma once

// Decodes "ClipboardHistory.json", read a window at a time. The file is one array of objects
// that may pass 2 GiB, mostly Base64. simdjson's parsers reserve several times the document's size
// up front and stop at 4 GiB, so the array is not handed to simdjson whole: a small scanner
// walks the top level (brackets, commas, white space) and finds each element's end by skipping
// strings with memchr, and every element is parsed and fully validated on its own by a
// StrictJsonParser whose buffers are reused. Large runs of objects are decoded in a few
// parts at once.
//
// Strictness: the whole file is rejected when it is not an array of objects, has anything
// after the closing bracket, or any element breaks a rule ("id", "kind", "createdAt" required;
// a known key with another JSON type or repeated; null only for "text", "imageData" and
// "fingerprint"; strict UUID, date and Base64). Unknown keys are ignored. A missing
// "fingerprint" is computed from the item. Each image is handed to the image sink as soon as
// its element is decoded, so the images of a large file are never all in memory at once.

#include "ClipboardHistoryItem.h"

#include <QList>

#include <cstddef>
#include <functional>

class QIODevice;

class ClipboardHistoryReader final
{
public:
    enum class Outcome
    {
        Decoded,
        Invalid, // the bytes are not a history file
        OutOfResources, // the file may be fine; we could not hold it
    };

    struct Result
    {
        Outcome outcome = Outcome::Invalid;
        QList<ClipboardHistoryItem> items;
    };

    // Where decoded image bytes go (a spill file), called from several threads at once; without
    // one they stay in memory.
    using ImageSink = std::function<ClipboardImageBytes(QByteArray bytes)>;

    // Reads device a window at a time (JsonArrayStream): a file of any size is read with
    // about window bytes plus its largest item in memory.
    static constexpr std::size_t DefaultWindow = std::size_t(16) << 20;
    static Result decode(
        QIODevice& device, const ImageSink& sink = {}, std::size_t window = DefaultWindow);
};
