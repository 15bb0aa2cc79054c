#pragma once

// PersistentStoreWriter: the one way a Norvale data file ("ClipboardHistory.json",
// "FixedPhrases.json", and every store that follows) reaches the disk. A model owns one per
// file, on the main thread, and gives it a SnapshotSource: a function that copies the model's
// current state and returns how to encode that copy off the main thread.
//
//     PersistentStoreWriter writer(scheduler, executor, path, source, {.debounce = 0.35});
//     writer.setSaveFailedHandler(...);   // shows "…を保存できませんでした: <error>"
//     writer.requestSave();               // after every change
//     writer.flush(QDeadlineTimer(5000)); // at termination
//
// Rules, the same for every store:
// - Generations. Every request and every cancellation takes a new generation; a snapshot is
//   written only when its generation is newer than the last one written, so a job that runs
//   late can never overwrite newer data. A skipped snapshot counts as success.
// - Debounce (optional). With a delay, a request starts its write that long after the last
//   request, so a burst of changes gives one write of the last state. The delay runs on the
//   Scheduler, so tests drive it on mock time.
// - Serial jobs. Writes run as jobs of the injected Executor, one at a time, and report back
//   on the main thread. A request while a requested write runs waits for it and then writes
//   the newest state once: a burst gives one write now and at most one more.
// - flush(deadline) at termination. Writes what is still waiting and blocks until every write
//   has finished or the deadline passes. Writes that no worker has started yet run right there
//   on the calling thread, newest first (the main thread has nothing else to do, the workers
//   may be busy, and the event loop that would deliver their completions no longer runs); a
//   write already running on a worker is waited for. A write still unfinished at the deadline
//   is abandoned: it stops at its next chunk and removes its temporary file, so the store
//   keeps its last complete content and no thread is left writing while the process exits
//   (the executor waits for its threads when the platform goes away; only a write stuck inside
//   a system call could outlast that wait).
// - Keep-aside. A store file that exists but cannot be read is moved aside at load
//   ("<name>.unreadable-<UTC stamp>") before any save could replace it. When that move fails
//   (or the caller cannot vouch for the file, see refuseWrites()), every write of the run is
//   refused with the reason, reported as a failed save, and the file is never touched.
// - Leftovers. Before the store is read, settleLeftovers() completes a save a kill cut off
//   between linking its finished copy and renaming it over the store (SaveLeftovers).
//
// Files are written atomically (temporary file, mode 0600, rename) after creating the folder
// (0700). Main thread only, apart from the encoders, which run on the workers.

#include "SaveLeftovers.h"
#include "platform/Executor.h"
#include "platform/Scheduler.h"

#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

class PersistentStoreWriter final
{
public:
    // An encoded copy of the state, handed to a worker. encode writes the whole file into the
    // device and returns false on failure; prepare (optional) runs first, on the worker, just
    // before the file is replaced, and cancels the write with its error when it fails.
    struct Snapshot
    {
        std::function<bool(QIODevice&)> encode;
        std::function<bool(QString* error)> prepare;
    };
    using SnapshotSource = std::function<Snapshot()>;

    struct Options
    {
        // Seconds between the last request and its write; 0 writes at once.
        double debounce = 0;
        Executor::Priority priority = Executor::Priority::Utility;
    };

    struct Outcome
    {
        qint64 generation = 0;
        // Empty on success (a skipped, superseded snapshot included).
        std::optional<QString> error;
    };

    // The last step of a write, replaceable so that tests can make writes fail or observe
    // them. Runs on a worker. The default is PrivateFiles::writeAtomically.
    using FileWrite = std::function<bool(
        const QString& path, const std::function<bool(QIODevice&)>& encode, QString* error)>;

    PersistentStoreWriter(Scheduler& scheduler, Executor& executor, QString filePath,
        SnapshotSource source, Options options);
    ~PersistentStoreWriter();
    PersistentStoreWriter(const PersistentStoreWriter&) = delete;
    PersistentStoreWriter& operator=(const PersistentStoreWriter&) = delete;

    QString filePath() const { return m_filePath; }

    // Called with the outcome of each requested save that failed (refusals included). The
    // generation tells whether a newer save has been requested since (compare generation()).
    void setSaveFailedHandler(std::function<void(const Outcome&)> handler);

    // Saves the state the source returns when the write starts (see the rules above).
    void requestSave();
    // Cancels a requested save that has not started yet and takes a new generation, so that
    // nothing requested before can be written afterwards. True when a save was waiting.
    bool cancelPendingSave();
    // Writes snapshot now under a new generation, superseding a requested save that has not
    // started yet; done runs on the main thread (unless the writer is gone by then).
    struct Ticket
    {
        qint64 generation = 0;
        bool cancelledPendingSave = false;
    };
    Ticket writeNow(Snapshot snapshot, std::function<void(const Outcome&)> done);

    // Writes a requested save still waiting and finishes every write in flight, at most until
    // deadline. True when all of them finished in time (a failed write counts as finished).
    bool flush(QDeadlineTimer deadline);

    // At load, before the file is read: settles what an interrupted save left beside it.
    void settleLeftovers(const SaveLeftovers::Parses& parses);
    // At load: the file exists but cannot be read. Moves it aside and returns its new path;
    // when that fails, refuses every write of the run with refusal and returns an empty string.
    QString keepUnreadableFile(const QString& refusal);
    // Refuses every write of the run with reason (a file that may be sound could not be read).
    void refuseWrites(const QString& reason);
    // What keepUnreadableFile() logged, for `norvale status` during this run; empty otherwise.
    QString loadWarning() const { return m_loadWarning; }

    qint64 generation() const { return m_generation; }
    // A requested save is waiting for its delay or for the write before it, or is running.
    bool hasPendingSave() const;
    bool isWriting() const { return !m_jobs.isEmpty(); }

    void setFileWriteForTesting(FileWrite write);

private:
    struct Job;
    struct Shared;

    void startRequestedWrite();
    std::shared_ptr<Job> submit(Snapshot snapshot, bool requested);
    void finishJob(const std::shared_ptr<Job>& job);
    void report(const std::shared_ptr<Job>& job, const Outcome& outcome);

    Scheduler& m_scheduler;
    Executor& m_executor;
    const QString m_filePath;
    const SnapshotSource m_source;
    const Options m_options;
    std::shared_ptr<Shared> m_shared;
    // Completions posted to the main thread check this before touching the writer.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::function<void(const Outcome&)> m_saveFailed;
    std::optional<QString> m_refusal;
    QString m_loadWarning;
    qint64 m_generation = 0;
    TimerHandle m_debounceTimer;
    // A request arrived while a requested write was running: write again when it reports.
    bool m_dueAfterWrite = false;
    // Jobs handed to the executor whose completion has not been applied yet, oldest first.
    QList<std::shared_ptr<Job>> m_jobs;
};
