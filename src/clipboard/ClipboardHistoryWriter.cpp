#include "ClipboardHistoryWriter.h"

#include "support/IsoDate.h"
#include "support/JsonWriter.h"
#include "support/Uuid.h"

void ClipboardHistoryWriter::writeFile(JsonWriter& writer, const QList<ClipboardHistoryItem>& items)
{
    writer.beginArray();
    for (const ClipboardHistoryItem& item : items) {
        writeItem(writer, item, Image::Data);
    }
    writer.endArray();
}

void ClipboardHistoryWriter::writeItem(
    JsonWriter& writer, const ClipboardHistoryItem& item, Image image, std::optional<qint64> index)
{
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
            writer.base64Value(*item.imageData);
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
}
