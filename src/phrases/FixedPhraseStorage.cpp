#include "FixedPhraseStorage.h"

#include "FixedPhraseJsonReader.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"
#include "support/Uuid.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

void writeFolders(JsonWriter& writer, const FixedPhraseFolderList& folders)
{
    writer.beginArray();
    for (const FixedPhraseFolder& folder : folders) {
        writer.beginObject();
        writer.key(u"id");
        writer.value(Uuid::toText(folder.id));
        writer.key(u"title");
        writer.value(folder.title);
        writer.key(u"isVisible");
        writer.value(folder.isVisible);
        writer.key(u"phrases");
        writer.beginArray();
        for (const FixedPhrase& phrase : folder.phrases) {
            writer.beginObject();
            writer.key(u"id");
            writer.value(Uuid::toText(phrase.id));
            writer.key(u"title");
            writer.value(phrase.title);
            writer.key(u"content");
            writer.value(phrase.content);
            writer.key(u"isVisible");
            writer.value(phrase.isVisible);
            writer.endObject();
        }
        writer.endArray();
        writer.endObject();
    }
    writer.endArray();
}

} // namespace

FixedPhraseStorage::FixedPhraseStorage(QString filePath)
    : m_filePath(std::move(filePath))
{ }

FixedPhraseStorage::LoadResult FixedPhraseStorage::load() const
{
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        return {};
    }
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return {LoadState::unreadable, {}};
    }
    std::optional<FixedPhraseFolderList> folders;
    // Mapped rather than copied: the reader goes over the bytes once.
    const qint64 size = file.size();
    if (uchar* mapped = size > 0 ? file.map(0, size) : nullptr) {
        folders = FixedPhraseJsonReader::read(reinterpret_cast<const char*>(mapped), size);
        file.unmap(mapped);
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            return {LoadState::unreadable, {}};
        }
        folders = decode(bytes);
    }
    if (!folders) {
        return {LoadState::unreadable, {}};
    }
    return {LoadState::loaded, std::move(*folders)};
}

bool FixedPhraseStorage::save(const FixedPhraseFolderList& folders, QString* error) const
{
    return PrivateFiles::writeAtomically(
        m_filePath, [&folders](QIODevice& device) { return encode(folders, device); }, error);
}

bool FixedPhraseStorage::keepBeforeImport(QString* error) const
{
    const QFileInfo info(m_filePath);
    if (!info.exists()) {
        return true;
    }
    const QString target = beforeImportPath();
    const QString staging = target + QStringLiteral(".tmp");
    const QByteArray stagingName = QFile::encodeName(staging);
    ::unlink(stagingName.constData());
    // A second name for the current file: the store's next write replaces the name
    // "FixedPhrases.json" with a new file, so the kept name goes on holding the old bytes.
    if (::link(QFile::encodeName(m_filePath).constData(), stagingName.constData()) == 0) {
        if (PrivateFiles::setPrivateMode(staging) &&
            ::rename(stagingName.constData(), QFile::encodeName(target).constData()) == 0) {
            return true;
        }
        const int saved = errno;
        ::unlink(stagingName.constData());
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(saved));
        }
        return false;
    }
    // Hard links are not available everywhere: fall back to a copy.
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return PrivateFiles::writeAtomically(target, bytes, error);
}

QByteArray FixedPhraseStorage::encode(const FixedPhraseFolderList& folders)
{
    JsonWriter writer(JsonWriter::Style::Compact);
    writeFolders(writer, folders);
    writer.finish();
    return writer.result();
}

bool FixedPhraseStorage::encode(const FixedPhraseFolderList& folders, QIODevice& device)
{
    JsonWriter writer(&device, JsonWriter::Style::Compact);
    writeFolders(writer, folders);
    return writer.finish();
}

std::optional<FixedPhraseFolderList> FixedPhraseStorage::decode(const QByteArray& bytes)
{
    return FixedPhraseJsonReader::read(bytes.constData(), bytes.size());
}
