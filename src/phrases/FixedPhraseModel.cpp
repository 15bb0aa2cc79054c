#include "FixedPhraseModel.h"

#include "FixedPhraseOrdering.h"
#include "platform/FileLocations.h"
#include "support/Uuid.h"

#include <QPointer>

namespace {

const QString saveFailedPrefix = QStringLiteral("定型文を保存できませんでした: ");
const QString exportingMessage = QStringLiteral("定型文を書き出しています...");
const QString exportedMessage = QStringLiteral("定型文を書き出しました");
const QString exportFailedPrefix = QStringLiteral("定型文を書き出せませんでした: ");
const QString importingMessage = QStringLiteral("定型文を読み込んでいます...");
const QString importedMessage = QStringLiteral("定型文を読み込みました");
const QString importFailedPrefix = QStringLiteral("定型文を読み込めませんでした: ");

qsizetype phraseIndex(const FixedPhraseFolder& folder, const QUuid& id)
{
    for (qsizetype i = 0; i < folder.phrases.size(); ++i) {
        if (folder.phrases[i].id == id) {
            return i;
        }
    }
    return -1;
}

} // namespace

FixedPhraseModel::FixedPhraseModel(
    Scheduler& scheduler, Executor& executor, const FileLocations& locations, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_executor(executor)
    , m_storage(locations.filePath(FixedPhraseStorage::fileName()))
    , m_writer(scheduler, executor, m_storage.filePath(), [this] { return snapshot(m_folders); },
          {saveDelay, Executor::Priority::UserInitiated})
{
    m_writer.setSaveFailedHandler(
        [this](const PersistentStoreWriter::Outcome& outcome) { showSaveFailure(outcome); });
    load();
}

FixedPhraseModel::~FixedPhraseModel() = default;

void FixedPhraseModel::load()
{
    m_writer.settleLeftovers(&FixedPhraseStorage::decodes);
    FixedPhraseStorage::LoadResult result = m_storage.load();
    switch (result.state) {
    case FixedPhraseStorage::LoadState::Missing:
        break;
    case FixedPhraseStorage::LoadState::Loaded:
        m_folders = std::move(result.folders);
        break;
    case FixedPhraseStorage::LoadState::Unreadable:
        // The store starts empty, silently; the damaged file is kept for the user under a
        // new name before any save could replace it.
        m_writer.keepUnreadableFile(
            QStringLiteral("読み込めなかった %1 を退避できないため、上書きしません")
                .arg(m_storage.filePath()));
        break;
    }
}

FixedPhraseFolderList FixedPhraseModel::visibleFolders() const
{
    return ::visibleFolders(m_folders);
}

std::optional<FixedPhraseFolder> FixedPhraseModel::folder(std::optional<QUuid> id) const
{
    if (!id) {
        return std::nullopt;
    }
    const qsizetype index = folderIndex(*id);
    if (index < 0) {
        return std::nullopt;
    }
    return m_folders[index];
}

std::optional<FixedPhrase> FixedPhraseModel::phrase(
    std::optional<QUuid> folderID, std::optional<QUuid> phraseID) const
{
    const std::optional<FixedPhraseFolder> found = folder(folderID);
    if (!found || !phraseID) {
        return std::nullopt;
    }
    const qsizetype index = phraseIndex(*found, *phraseID);
    if (index < 0) {
        return std::nullopt;
    }
    return found->phrases[index];
}

QUuid FixedPhraseModel::addFolder()
{
    const QUuid id = Uuid::create();
    m_folders.append(FixedPhraseFolder {id, nextFolderTitle(), true, {}});
    publishChange();
    return id;
}

void FixedPhraseModel::updateFolderTitle(const QUuid& id, const QString& title)
{
    if (FixedPhraseFolder* folder = findFolder(id)) {
        folder->title = title;
        publishChange();
    }
}

void FixedPhraseModel::setFolderVisible(const QUuid& id, bool isVisible)
{
    if (FixedPhraseFolder* folder = findFolder(id)) {
        folder->isVisible = isVisible;
        publishChange();
    }
}

void FixedPhraseModel::setAllFoldersVisible(bool isVisible)
{
    for (FixedPhraseFolder& folder : m_folders) {
        folder.isVisible = isVisible;
    }
    publishChange();
}

void FixedPhraseModel::moveFolder(const QUuid& id, int step)
{
    const qsizetype index = folderIndex(id);
    if (index < 0) {
        return;
    }
    const qsizetype target = FixedPhraseOrdering::stepTarget(index, step, m_folders.size());
    if (target >= 0) {
        m_folders.move(index, target);
        publishChange();
    }
}

void FixedPhraseModel::removeFolders(const QSet<QUuid>& ids)
{
    const qsizetype removed = m_folders.removeIf(
        [&ids](const FixedPhraseFolder& folder) { return ids.contains(folder.id); });
    if (removed > 0) {
        publishChange();
    }
}

void FixedPhraseModel::moveFolders(const QSet<int>& fromOffsets, int toOffset)
{
    replaceFolders(FixedPhraseOrdering::movingItems(m_folders, fromOffsets, toOffset));
}

std::optional<QUuid> FixedPhraseModel::addPhrase(const QUuid& folderID)
{
    FixedPhraseFolder* folder = findFolder(folderID);
    if (!folder) {
        return std::nullopt;
    }
    const QUuid id = Uuid::create();
    folder->phrases.append(FixedPhrase {id, nextPhraseTitle(*folder), QString(), true});
    publishChange();
    return id;
}

void FixedPhraseModel::updatePhrase(const QUuid& folderID, const QUuid& phraseID,
    const std::optional<QString>& title, const std::optional<QString>& content)
{
    FixedPhrase* phrase = findPhrase(folderID, phraseID);
    if (!phrase) {
        return;
    }
    if (title) {
        phrase->title = *title;
    }
    if (content) {
        phrase->content = *content;
    }
    publishChange();
}

void FixedPhraseModel::setPhraseVisible(
    const QUuid& folderID, const QUuid& phraseID, bool isVisible)
{
    if (FixedPhrase* phrase = findPhrase(folderID, phraseID)) {
        phrase->isVisible = isVisible;
        publishChange();
    }
}

void FixedPhraseModel::setAllPhrasesVisible(const QUuid& folderID, bool isVisible)
{
    FixedPhraseFolder* folder = findFolder(folderID);
    if (!folder) {
        return;
    }
    for (FixedPhrase& phrase : folder->phrases) {
        phrase.isVisible = isVisible;
    }
    publishChange();
}

void FixedPhraseModel::removePhrase(const QUuid& folderID, const QUuid& phraseID)
{
    FixedPhraseFolder* folder = findFolder(folderID);
    if (folder && folder->phrases.removeIf([&phraseID](const FixedPhrase& phrase) {
            return phrase.id == phraseID;
        }) > 0) {
        publishChange();
    }
}

void FixedPhraseModel::movePhrase(const QUuid& folderID, const QUuid& phraseID, int step)
{
    FixedPhraseFolder* folder = findFolder(folderID);
    if (!folder) {
        return;
    }
    const qsizetype position = phraseIndex(*folder, phraseID);
    if (position < 0) {
        return;
    }
    const qsizetype target =
        FixedPhraseOrdering::stepTarget(position, step, folder->phrases.size());
    if (target >= 0) {
        folder->phrases.move(position, target);
        publishChange();
    }
}

void FixedPhraseModel::movePhrases(
    const QUuid& folderID, const QSet<int>& fromOffsets, int toOffset)
{
    if (FixedPhraseFolder* folder = findFolder(folderID)) {
        folder->phrases = FixedPhraseOrdering::movingItems(folder->phrases, fromOffsets, toOffset);
        publishChange();
    }
}

QString FixedPhraseModel::nextFolderTitle() const
{
    QSet<QString> titles;
    for (const FixedPhraseFolder& folder : m_folders) {
        titles.insert(folder.title);
    }
    return FixedPhraseOrdering::nextTitle(QStringLiteral("新規フォルダ"), titles);
}

QString FixedPhraseModel::nextPhraseTitle(const FixedPhraseFolder& folder)
{
    QSet<QString> titles;
    for (const FixedPhrase& phrase : folder.phrases) {
        titles.insert(phrase.title);
    }
    return FixedPhraseOrdering::nextTitle(QStringLiteral("新規定型文"), titles);
}

bool FixedPhraseModel::exportCSV(const QString& path)
{
    if (m_isFileTransferInProgress) {
        return false;
    }
    setFileTransferInProgress(true);
    setStatusMessage(exportingMessage);
    QPointer<FixedPhraseModel> self(this);
    m_transferTask = FixedPhraseFileTransfer::exportCSV(
        m_executor, m_folders, path, [self](FixedPhraseFileTransfer::ExportResult failure) {
            if (!self) {
                return;
            }
            if (failure) {
                self->endTransfer(exportFailedPrefix + failure->description(), false);
            } else {
                self->endTransfer(exportedMessage, true);
            }
        });
    return true;
}

bool FixedPhraseModel::importCSV(const QString& path)
{
    if (m_isFileTransferInProgress) {
        return false;
    }
    setFileTransferInProgress(true);
    setStatusMessage(importingMessage);
    QPointer<FixedPhraseModel> self(this);
    m_transferTask = FixedPhraseFileTransfer::importCSV(
        m_executor, path, [self](FixedPhraseFileTransfer::ImportResult result) {
            if (self) {
                self->finishImportRead(std::move(result));
            }
        });
    return true;
}

void FixedPhraseModel::finishImportRead(FixedPhraseFileTransfer::ImportResult result)
{
    if (result.failure) {
        endTransfer(importFailedPrefix + result.failure->description(), false);
        return;
    }
    // The imported list is written before it replaces the one in memory, under a generation
    // newer than any save scheduled so far, so no earlier save can overwrite it. The previous
    // file is kept first.
    QPointer<FixedPhraseModel> self(this);
    FixedPhraseFolderList imported = std::move(result.folders);
    PersistentStoreWriter::Snapshot write = snapshot(imported);
    write.prepare = [storage = m_storage](QString* error) {
        return storage.keepBeforeImport(error);
    };
    auto ticket = std::make_shared<PersistentStoreWriter::Ticket>();
    *ticket = m_writer.writeNow(std::move(write),
        [self, ticket, imported = std::move(imported)](
            const PersistentStoreWriter::Outcome& outcome) mutable {
            if (self) {
                self->finishImportWrite(*ticket, std::move(imported), outcome);
            }
        });
}

void FixedPhraseModel::finishImportWrite(const PersistentStoreWriter::Ticket& ticket,
    FixedPhraseFolderList imported, const PersistentStoreWriter::Outcome& outcome)
{
    const bool newerSaveRequested = m_writer.generation() != ticket.generation;
    if (outcome.error) {
        release(std::move(imported));
        endTransfer(importFailedPrefix + *outcome.error, false);
        // The list in memory is unchanged; it needs a save only when the import superseded
        // one that was waiting, or an edit since asked for one.
        if (ticket.cancelledPendingSave || newerSaveRequested) {
            saveFolders();
        }
        return;
    }
    release(std::exchange(m_folders, std::move(imported)));
    Q_EMIT foldersChanged();
    endTransfer(importedMessage, true);
    // An edit made while the write ran may have written the old list after the import: a
    // newer save of the imported list supersedes it.
    if (newerSaveRequested) {
        saveFolders();
    }
}

void FixedPhraseModel::endTransfer(const QString& message, bool succeeded)
{
    m_transferTask.release();
    setStatusMessage(message);
    setFileTransferInProgress(false);
    Q_EMIT fileTransferFinished(succeeded);
}

bool FixedPhraseModel::prepareForApplicationTermination(QDeadlineTimer deadline)
{
    // Always the current state, whatever is waiting or has been written.
    m_writer.requestSave();
    return m_writer.flush(deadline);
}

void FixedPhraseModel::replaceFolders(FixedPhraseFolderList folders)
{
    m_folders = std::move(folders);
    publishChange();
}

void FixedPhraseModel::publishChange()
{
    Q_EMIT foldersChanged();
    saveFolders();
}

void FixedPhraseModel::saveFolders()
{
    m_writer.requestSave();
}

PersistentStoreWriter::Snapshot FixedPhraseModel::snapshot(FixedPhraseFolderList folders) const
{
    return {[folders = std::move(folders)](
                QIODevice& device) { return FixedPhraseStorage::encode(folders, device); },
        {}};
}

void FixedPhraseModel::showSaveFailure(const PersistentStoreWriter::Outcome& outcome)
{
    // A failure of an older generation is dropped: a newer save is on its way.
    if (outcome.generation == m_writer.generation()) {
        setStatusMessage(saveFailedPrefix + outcome.error.value_or(QString()));
    }
}

void FixedPhraseModel::release(FixedPhraseFolderList list)
{
    m_executor
        .start(
            Executor::Priority::Utility,
            [list = std::move(list)](const CancelToken&) mutable { list = {}; }, [] {})
        .release();
}

void FixedPhraseModel::setStatusMessage(const QString& message)
{
    if (m_statusMessage == message) {
        return;
    }
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}

void FixedPhraseModel::setFileTransferInProgress(bool inProgress)
{
    if (m_isFileTransferInProgress == inProgress) {
        return;
    }
    m_isFileTransferInProgress = inProgress;
    Q_EMIT isFileTransferInProgressChanged();
}

qsizetype FixedPhraseModel::folderIndex(const QUuid& id) const
{
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        if (m_folders[i].id == id) {
            return i;
        }
    }
    return -1;
}

FixedPhraseFolder* FixedPhraseModel::findFolder(const QUuid& id)
{
    const qsizetype index = folderIndex(id);
    return index < 0 ? nullptr : &m_folders[index];
}

FixedPhrase* FixedPhraseModel::findPhrase(const QUuid& folderID, const QUuid& phraseID)
{
    FixedPhraseFolder* folder = findFolder(folderID);
    const qsizetype index = folder ? phraseIndex(*folder, phraseID) : -1;
    return index < 0 ? nullptr : &folder->phrases[index];
}
