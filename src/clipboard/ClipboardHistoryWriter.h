#pragma once

// The JSON form of history items: keys sorted, dates as YYYY-MM-DDTHH:MM:SSZ, absent optional
// values omitted. The history file carries the image bytes in Base64 ("imageData"); the
// command line's listing gives their count instead ("imageByteCount") and each item's
// position ("index"), which sort into the same places.

#include "ClipboardHistoryItem.h"

#include <QList>

#include <optional>

class JsonWriter;

class ClipboardHistoryWriter final
{
public:
    enum class Image
    {
        Data,
        ByteCount
    };

    // "ClipboardHistory.json": the items in one array, newest first. Image bytes are streamed
    // from their spill files; false when any of them could not be read whole (the output is
    // then not to be kept).
    static bool writeFile(JsonWriter& writer, const QList<ClipboardHistoryItem>& items);
    static bool writeItem(JsonWriter& writer, const ClipboardHistoryItem& item, Image image,
        std::optional<qint64> index = std::nullopt);
};
