#include "FixedPhraseStorage.h"

#include "support/JsonArrayScanner.h"
#include "support/JsonFileBuffer.h"
#include "support/JsonWriter.h"
#include "support/PrivateFiles.h"
#include "support/StrictJsonObject.h"
#include "support/StrictJsonParser.h"
#include "support/Uuid.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>
#include <vector>

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

enum FolderMember
{
    FolderId,
    FolderTitle,
    FolderIsVisible,
    FolderPhrases
};
constexpr std::string_view FolderMembers[] = {"id", "title", "isVisible", "phrases"};

enum PhraseMember
{
    PhraseId,
    PhraseTitle,
    PhraseContent,
    PhraseIsVisible
};
constexpr std::string_view PhraseMembers[] = {"id", "title", "content", "isVisible"};

bool readPhrase(simdjson::dom::element value, FixedPhrase* phrase)
{
    StrictJsonObject object(PhraseMembers, nullptr);
    return object.read(value) && object.uuid(PhraseId, &phrase->id) &&
        object.string(PhraseTitle, &phrase->title) &&
        object.string(PhraseContent, &phrase->content) &&
        object.optionalBool(PhraseIsVisible, &phrase->isVisible);
}

bool readFolder(simdjson::dom::element value, FixedPhraseFolder* folder)
{
    StrictJsonObject object(FolderMembers, nullptr);
    simdjson::dom::array phrases;
    if (!object.read(value) || !object.uuid(FolderId, &folder->id) ||
        !object.string(FolderTitle, &folder->title) ||
        !object.optionalBool(FolderIsVisible, &folder->isVisible) ||
        !object.array(FolderPhrases, &phrases)) {
        return false;
    }
    folder->phrases.reserve(static_cast<qsizetype>(phrases.size()));
    for (const simdjson::dom::element element : phrases) {
        FixedPhrase phrase;
        if (!readPhrase(element, &phrase)) {
            return false;
        }
        folder->phrases.append(std::move(phrase));
    }
    return true;
}

// Each folder is parsed on its own, so the parse costs the size of a folder rather than
// several times that of the store.
std::optional<FixedPhraseFolderList> decodeBuffer(const JsonFileBuffer& buffer)
{
    std::vector<JsonArrayScanner::Span> spans;
    if (!JsonArrayScanner::scan(buffer.data(), buffer.size(), &spans)) {
        return std::nullopt;
    }
    StrictJsonParser parser;
    FixedPhraseFolderList folders;
    folders.reserve(static_cast<qsizetype>(spans.size()));
    for (const JsonArrayScanner::Span& span : spans) {
        simdjson::dom::element element;
        FixedPhraseFolder folder;
        if (parser.parse(buffer.data() + span.begin, span.end - span.begin, &element) !=
                StrictJsonParser::Outcome::Parsed ||
            !readFolder(element, &folder)) {
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

bool FixedPhraseStorage::decodes(const QString& path)
{
    return FixedPhraseStorage(path).load().state == LoadState::Loaded;
}

FixedPhraseStorage::LoadResult FixedPhraseStorage::load() const
{
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        return {};
    }
    JsonFileBuffer buffer;
    if (buffer.read(m_filePath) != JsonFileBuffer::ReadOutcome::Read) {
        return {LoadState::Unreadable, {}};
    }
    std::optional<FixedPhraseFolderList> folders = decodeBuffer(buffer);
    if (!folders) {
        return {LoadState::Unreadable, {}};
    }
    return {LoadState::Loaded, std::move(*folders)};
}

bool FixedPhraseStorage::save(const FixedPhraseFolderList& folders, QString* error) const
{
    return PrivateFiles::writeAtomically(
        m_filePath, [&folders](QIODevice& device) { return encode(folders, device); }, error);
}

bool FixedPhraseStorage::keepBeforeImport(QString* error) const
{
    const QString target = beforeImportPath();
    // Earlier versions staged the copy as a second hard link under this name; one left by a
    // killed run shares the store's bytes and is no copy at all.
    ::unlink(QFile::encodeName(target + QStringLiteral(".tmp")).constData());
    if (!QFileInfo::exists(m_filePath)) {
        return true;
    }
    // A real copy of the bytes, never a link: through a link (a store kept in a synced
    // folder), the import would overwrite the very copy meant to survive it.
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
    // The atomic write would follow a link left at the copy's name and overwrite its target.
    if (QFileInfo(target).isSymLink()) {
        ::unlink(QFile::encodeName(target).constData());
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
    JsonFileBuffer buffer;
    if (!buffer.allocate(static_cast<size_t>(bytes.size()))) {
        return std::nullopt;
    }
    std::memcpy(buffer.data(), bytes.constData(), buffer.size());
    return decodeBuffer(buffer);
}
