#pragma once

// The fixed phrase store for the whole run: folders and phrases in the user's order, the
// editing operations, CSV import and export, and the persistence pipeline.
//
// Saving goes through a PersistentStoreWriter: every change schedules a save 350 ms later (a
// burst of edits gives one write of the last state); each scheduled save and each cancellation
// takes a new generation, and the writer skips snapshots older than the newest it has written,
// so a late job can never overwrite newer phrases. A save failure is shown only for the newest
// generation.
//
// Faults this model guards against on purpose:
// - An unreadable "FixedPhrases.json" is renamed "FixedPhrases.json.unreadable-<UTC stamp>"
//   at load, so no save can replace the user's only copy; if the rename fails, no write of
//   this run touches the file (each save reports the failure).
// - An import keeps the previous file as "FixedPhrases.json.before-import" before replacing
//   it, so one wrong CSV (even an empty one) cannot erase every phrase for good.
// - After an import's write, a save is scheduled again when the file and the list in memory
//   could differ: the import cancelled a save that was waiting, or an edit during the write
//   took a newer generation. A failed import otherwise leaves its own message standing (a
//   re-save failing for the same reason would replace it).
//
// Main thread only.

#include "FixedPhrase.h"
#include "FixedPhraseFileTransfer.h"
#include "FixedPhraseStorage.h"
#include "platform/Executor.h"
#include "platform/Scheduler.h"
#include "support/PersistentStoreWriter.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

class FileLocations;

class FixedPhraseModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(FixedPhraseFolderList folders READ folders NOTIFY foldersChanged)
    Q_PROPERTY(FixedPhraseFolderList visibleFolders READ visibleFolders NOTIFY foldersChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(bool isFileTransferInProgress READ isFileTransferInProgress NOTIFY
            isFileTransferInProgressChanged)

public:
    static constexpr double saveDelay = 0.35;
    static constexpr int terminationTimeoutMs = 5000;

    // Loads "FixedPhrases.json" from the application-support folder of locations.
    FixedPhraseModel(Scheduler& scheduler, Executor& executor, const FileLocations& locations,
        QObject* parent = nullptr);
    ~FixedPhraseModel() override;

    const FixedPhraseFolderList& folders() const { return m_folders; }
    FixedPhraseFolderList visibleFolders() const;
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    // Why the phrases started empty this run (their file could not be read), for the command
    // line; the interface stays silent about it.
    QString storeWarning() const { return m_writer.loadWarning(); }
    // The quick panel reports a copied phrase here.
    void setStatusMessage(const QString& message);
    bool isFileTransferInProgress() const { return m_isFileTransferInProgress; }

    // Lookups.
    std::optional<FixedPhraseFolder> folder(std::optional<QUuid> id) const;
    std::optional<FixedPhrase> phrase(
        std::optional<QUuid> folderID, std::optional<QUuid> phraseID) const;

    // Folder operations. Each saves exactly once when it changed something.
    QUuid addFolder();
    void updateFolderTitle(const QUuid& id, const QString& title);
    void setFolderVisible(const QUuid& id, bool isVisible);
    // Saves even when there are no folders.
    void setAllFoldersVisible(bool isVisible);
    void moveFolder(const QUuid& id, int step);
    void removeFolders(const QSet<QUuid>& ids);
    void moveFolders(const QSet<int>& fromOffsets, int toOffset);
    // Replaces every folder at once, as one edit.
    void replaceFolders(FixedPhraseFolderList folders);

    // Phrase operations.
    std::optional<QUuid> addPhrase(const QUuid& folderID);
    // Saves when the phrase exists, even when neither title nor content is given.
    void updatePhrase(const QUuid& folderID, const QUuid& phraseID,
        const std::optional<QString>& title, const std::optional<QString>& content);
    void setPhraseVisible(const QUuid& folderID, const QUuid& phraseID, bool isVisible);
    void setAllPhrasesVisible(const QUuid& folderID, bool isVisible);
    void removePhrase(const QUuid& folderID, const QUuid& phraseID);
    void movePhrase(const QUuid& folderID, const QUuid& phraseID, int step);
    void movePhrases(const QUuid& folderID, const QSet<int>& fromOffsets, int toOffset);

    QString nextFolderTitle() const;
    static QString nextPhraseTitle(const FixedPhraseFolder& folder);

    // CSV transfers, off the main thread. False when ignored because a transfer is running;
    // otherwise fileTransferFinished() follows.
    bool exportCSV(const QString& path);
    bool importCSV(const QString& path);

    // Writes the current state (a save still in its delay is superseded) and waits for it, at
    // most until deadline. Returns whether the write finished.
    bool prepareForApplicationTermination(
        QDeadlineTimer deadline = QDeadlineTimer(terminationTimeoutMs));

    // For diagnostics and tests.
    qint64 saveGeneration() const { return m_writer.generation(); }
    bool hasPendingSave() const { return m_writer.hasPendingSave(); }
    PersistentStoreWriter& writer() { return m_writer; }
    const FixedPhraseStorage& storage() const { return m_storage; }

Q_SIGNALS:
    void foldersChanged();
    void statusMessageChanged();
    void isFileTransferInProgressChanged();
    void fileTransferFinished(bool succeeded);

private:
    void load();
    // Tells the views and schedules the save after an edit in place.
    void publishChange();
    void saveFolders();
    PersistentStoreWriter::Snapshot snapshot(FixedPhraseFolderList folders) const;
    void showSaveFailure(const PersistentStoreWriter::Outcome& outcome);
    void finishImportRead(FixedPhraseFileTransfer::ImportResult result);
    void finishImportWrite(const PersistentStoreWriter::Ticket& ticket,
        FixedPhraseFolderList imported, const PersistentStoreWriter::Outcome& outcome);
    // Drops list on a worker: freeing a 200,000-phrase store takes ~20 ms.
    void release(FixedPhraseFolderList list);
    void setFileTransferInProgress(bool inProgress);
    void endTransfer(const QString& message, bool succeeded);
    qsizetype folderIndex(const QUuid& id) const;
    FixedPhraseFolder* findFolder(const QUuid& id);
    FixedPhrase* findPhrase(const QUuid& folderID, const QUuid& phraseID);

    Scheduler& m_scheduler;
    Executor& m_executor;
    const FixedPhraseStorage m_storage;
    FixedPhraseFolderList m_folders;
    std::optional<QString> m_statusMessage;
    bool m_isFileTransferInProgress = false;
    TaskHandle m_transferTask;
    // Last: its pending completions refer to the members above.
    PersistentStoreWriter m_writer;
};
