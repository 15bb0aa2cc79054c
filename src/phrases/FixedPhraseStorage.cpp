#include "FixedPhraseStorage.h"

#include "Utf8Text.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"
#include "support/Uuid.h"

#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <simdjson.h>
#include <string_view>
#include <unistd.h>

namespace {

using simdjson::dom::element;

QString fromUtf8(std::string_view text)
{
    return utf8ToString(text.data(), static_cast<qsizetype>(text.size()));
}

bool readString(element value, QString* out)
{
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS) {
        return false;
    }
    *out = fromUtf8(text);
    return true;
}

bool readUuid(element value, QUuid* out)
{
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS || text.size() != 36) {
        return false;
    }
    // Widened on the stack: 200,000 identifiers need no allocation of their own.
    std::array<char16_t, 36> wide {};
    for (size_t i = 0; i < wide.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            return false;
        }
        wide[i] = byte;
    }
    const std::optional<QUuid> uuid = Uuid::parse(QStringView(wide.data(), 36));
    if (!uuid) {
        return false;
    }
    *out = *uuid;
    return true;
}

// An optional boolean: absent or null keeps the default, any other type spoils the document.
bool readOptionalBool(element value, bool* out)
{
    if (value.is_null()) {
        return true;
    }
    return value.get_bool().get(*out) == simdjson::SUCCESS;
}

bool readPhrase(element value, FixedPhrase* phrase)
{
    simdjson::dom::object object;
    if (value.get_object().get(object) != simdjson::SUCCESS) {
        return false;
    }
    bool hasId = false;
    bool hasTitle = false;
    bool hasContent = false;
    for (const auto field : object) {
        if (field.key == "id") {
            hasId = readUuid(field.value, &phrase->id);
            if (!hasId) {
                return false;
            }
        } else if (field.key == "title") {
            hasTitle = readString(field.value, &phrase->title);
            if (!hasTitle) {
                return false;
            }
        } else if (field.key == "content") {
            hasContent = readString(field.value, &phrase->content);
            if (!hasContent) {
                return false;
            }
        } else if (field.key == "isVisible") {
            if (!readOptionalBool(field.value, &phrase->isVisible)) {
                return false;
            }
        }
    }
    return hasId && hasTitle && hasContent;
}

bool readFolder(element value, FixedPhraseFolder* folder)
{
    simdjson::dom::object object;
    if (value.get_object().get(object) != simdjson::SUCCESS) {
        return false;
    }
    bool hasId = false;
    bool hasTitle = false;
    bool hasPhrases = false;
    for (const auto field : object) {
        if (field.key == "id") {
            hasId = readUuid(field.value, &folder->id);
            if (!hasId) {
                return false;
            }
        } else if (field.key == "title") {
            hasTitle = readString(field.value, &folder->title);
            if (!hasTitle) {
                return false;
            }
        } else if (field.key == "isVisible") {
            if (!readOptionalBool(field.value, &folder->isVisible)) {
                return false;
            }
        } else if (field.key == "phrases") {
            simdjson::dom::array phrases;
            if (field.value.get_array().get(phrases) != simdjson::SUCCESS) {
                return false;
            }
            folder->phrases.clear();
            folder->phrases.reserve(static_cast<qsizetype>(phrases.size()));
            for (const element item : phrases) {
                FixedPhrase phrase;
                if (!readPhrase(item, &phrase)) {
                    return false;
                }
                folder->phrases.append(std::move(phrase));
            }
            hasPhrases = true;
        }
    }
    return hasId && hasTitle && hasPhrases;
}

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

std::optional<FixedPhraseFolderList> decodePadded(const simdjson::padded_string& bytes)
{
    simdjson::dom::parser parser;
    element root;
    if (parser.parse(bytes).get(root) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    simdjson::dom::array array;
    if (root.get_array().get(array) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    FixedPhraseFolderList folders;
    folders.reserve(static_cast<qsizetype>(array.size()));
    for (const element item : array) {
        FixedPhraseFolder folder;
        if (!readFolder(item, &folder)) {
            return std::nullopt;
        }
        folders.append(std::move(folder));
    }
    return folders;
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
    // Read straight into simdjson's padded buffer: a second copy of a 60 MB store costs more
    // than its parsing.
    simdjson::padded_string bytes;
    if (simdjson::padded_string::load(QFile::encodeName(m_filePath).toStdString()).get(bytes) !=
        simdjson::SUCCESS) {
        return {LoadState::unreadable, {}};
    }
    std::optional<FixedPhraseFolderList> folders = decodePadded(bytes);
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
    return decodePadded(
        simdjson::padded_string(bytes.constData(), static_cast<size_t>(bytes.size())));
}
