#include "ClipboardHistoryStorage.h"

#include "ClipboardHistoryReader.h"
#include "ClipboardHistoryWriter.h"
#include "support/JsonFileBuffer.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"

#include <QFileInfo>
#include <QHash>
#include <QIODevice>

#include <cstring>

ClipboardHistoryStorage::ClipboardHistoryStorage(QString directory)
    : m_directory(std::move(directory))
{ }

QString ClipboardHistoryStorage::filePath() const
{
    return m_directory + QLatin1Char('/') + fileName();
}

ClipboardHistoryStorage::LoadResult ClipboardHistoryStorage::load(
    const ClipboardHistoryReader::ImageSink& imageSink) const
{
    LoadResult result;
    // Tighten a folder left open by an earlier build before anything else reads it.
    if (QFileInfo(m_directory).isDir()) {
        PrivateFiles::ensureDirectory(m_directory);
    }
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        result.status = LoadStatus::Missing;
        return result;
    }

    JsonFileBuffer buffer;
    switch (buffer.read(path)) {
    case JsonFileBuffer::ReadOutcome::Read: {
        ClipboardHistoryReader::Result decoded = ClipboardHistoryReader::decode(buffer, imageSink);
        buffer.release();
        if (decoded.outcome == ClipboardHistoryReader::Outcome::Decoded) {
            result.status = LoadStatus::Loaded;
            result.items = std::move(decoded.items);
        } else {
            result.status = decoded.outcome == ClipboardHistoryReader::Outcome::Invalid
                ? LoadStatus::Unreadable
                : LoadStatus::TooLarge;
        }
        return result;
    }
    case JsonFileBuffer::ReadOutcome::Unreadable:
        result.status = LoadStatus::Unreadable;
        return result;
    case JsonFileBuffer::ReadOutcome::OutOfMemory:
        break;
    }
    result.status = LoadStatus::TooLarge;
    return result;
}

bool ClipboardHistoryStorage::saveSynchronously(
    const QList<ClipboardHistoryItem>& items, QString* error) const
{
    return PrivateFiles::writeAtomically(
        filePath(),
        [this, &items](
            QIODevice& device) { return encodeRestoringImages(items, filePath(), device); },
        error);
}

bool ClipboardHistoryStorage::encodeRestoringImages(
    QList<ClipboardHistoryItem> items, const QString& path, QIODevice& device)
{
    restoreLostImages(items, path);
    return encode(items, device);
}

void ClipboardHistoryStorage::restoreLostImages(
    QList<ClipboardHistoryItem>& items, const QString& path)
{
    QList<qsizetype> lost;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i).imageData && !items.at(i).imageData->isIntact()) {
            lost.append(i);
        }
    }
    if (lost.isEmpty()) {
        return;
    }
    // Rare, so simply: the whole file's images in memory for the moment of the repair.
    QHash<QUuid, ClipboardHistoryItem> kept;
    JsonFileBuffer buffer;
    if (buffer.read(path) == JsonFileBuffer::ReadOutcome::Read) {
        ClipboardHistoryReader::Result decoded = ClipboardHistoryReader::decode(buffer);
        for (ClipboardHistoryItem& item : decoded.items) {
            kept.insert(item.id, std::move(item));
        }
    }
    for (const qsizetype index : std::as_const(lost)) {
        ClipboardHistoryItem& item = items[index];
        const ClipboardHistoryItem found = kept.value(item.id);
        const std::optional<QByteArray> bytes = found.imageBytes();
        if (!bytes || found.fingerprint != item.fingerprint ||
            bytes->size() != item.imageData->size()) {
            item.imageData.reset();
        } else if (!item.imageData->restore(*bytes)) {
            item.imageData = *bytes;
        }
    }
}

bool ClipboardHistoryStorage::encode(const QList<ClipboardHistoryItem>& items, QIODevice& device)
{
    JsonWriter writer(&device, JsonWriter::Style::Pretty);
    const bool imagesRead = ClipboardHistoryWriter::writeFile(writer, items);
    return writer.finish() && imagesRead;
}

QByteArray ClipboardHistoryStorage::encode(const QList<ClipboardHistoryItem>& items)
{
    JsonWriter writer(JsonWriter::Style::Pretty);
    ClipboardHistoryWriter::writeFile(writer, items);
    writer.finish();
    return writer.result();
}

std::optional<QList<ClipboardHistoryItem>> ClipboardHistoryStorage::decode(const QByteArray& json)
{
    JsonFileBuffer buffer;
    if (!buffer.allocate(static_cast<size_t>(json.size()))) {
        return std::nullopt;
    }
    std::memcpy(buffer.data(), json.constData(), buffer.size());
    ClipboardHistoryReader::Result decoded = ClipboardHistoryReader::decode(buffer);
    if (decoded.outcome != ClipboardHistoryReader::Outcome::Decoded) {
        return std::nullopt;
    }
    return std::move(decoded.items);
}
