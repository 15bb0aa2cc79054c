#include "ClipboardHistoryWriter.h"

#include "support/IsoDate.h"
#include "support/JsonWriter.h"
#include "support/Uuid.h"

namespace {

// Read from the spill file and encoded a piece at a time: a multiple of 3 bytes, so no padding
// lands inside the string.
constexpr qsizetype ImageChunk = 3 * 256 * 1024;

} // namespace

bool ClipboardHistoryWriter::writeFile(JsonWriter& writer, const QList<ClipboardHistoryItem>& items)
{
    bool imagesRead = true;
    writer.beginArray();
    for (const ClipboardHistoryItem& item : items) {
        imagesRead = writeItem(writer, item, Image::Data) && imagesRead;
    }
    writer.endArray();
    return imagesRead;
}

bool ClipboardHistoryWriter::writeItem(
    JsonWriter& writer, const ClipboardHistoryItem& item, Image image, std::optional<qint64> index)
{
    bool imageRead = true;
    writer.beginObject();
    writer.key(u"createdAt");
    writer.value(IsoDate::format(item.createdAt));
    writer.key(u"fingerprint");
    writer.value(item.fingerprint);
    writer.key(u"id");
    writer.value(Uuid::toText(item.id));
    if (item.imageData) {
        if (image == Image::ByteCount) {
            writer.key(u"imageByteCount");
            writer.value(static_cast<qint64>(item.imageData->size()));
        } else {
            writer.key(u"imageData");
            writer.beginBase64Value();
            imageRead = item.imageData->readChunks(ImageChunk, [&writer](QByteArrayView chunk) {
                writer.appendBase64(chunk);
                return writer.ok();
            });
            writer.endBase64Value();
        }
    }
    if (index) {
        writer.key(u"index");
        writer.value(*index);
    }
    writer.key(u"kind");
    writer.value(clipboardHistoryKindName(item.kind));
    if (item.text) {
        writer.key(u"text");
        writer.value(*item.text);
    }
    writer.endObject();
    return imageRead;
}
