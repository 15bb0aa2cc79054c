#include "ClipboardHistoryStorage.h"

#include "ClipboardHistoryReader.h"
#include "ClipboardHistoryWriter.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>

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

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = LoadStatus::Unreadable;
        return result;
    }
    ClipboardHistoryReader::Result decoded = ClipboardHistoryReader::decode(file, imageSink);
    switch (decoded.outcome) {
    case ClipboardHistoryReader::Outcome::Decoded:
        result.status = LoadStatus::Loaded;
        result.items = std::move(decoded.items);
        break;
    case ClipboardHistoryReader::Outcome::Invalid:
        result.status = LoadStatus::Unreadable;
        break;
    case ClipboardHistoryReader::Outcome::OutOfResources:
        result.status = LoadStatus::TooLarge;
        break;
    }
    return result;
}

bool ClipboardHistoryStorage::decodes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ClipboardHistoryReader::decode(file, [](QByteArray) {
        return QByteArray();
    }).outcome == ClipboardHistoryReader::Outcome::Decoded;
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
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (ClipboardHistoryItem& item : ClipboardHistoryReader::decode(file).items) {
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
    QBuffer buffer;
    buffer.setData(json);
    buffer.open(QIODevice::ReadOnly);
    ClipboardHistoryReader::Result decoded = ClipboardHistoryReader::decode(buffer);
    if (decoded.outcome != ClipboardHistoryReader::Outcome::Decoded) {
        return std::nullopt;
    }
    return std::move(decoded.items);
}
