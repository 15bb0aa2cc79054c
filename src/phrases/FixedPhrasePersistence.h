#pragma once

// The writer of "FixedPhrases.json". Writes run off the main thread, one at a time, and are
// ordered by generation: a snapshot is written only when its generation is newer than
// latestSavedGeneration(), so a snapshot that reaches the writer late (jobs may finish in any
// order) can never overwrite a newer one; a skipped snapshot counts as success.
//
// Regular and import writes run as jobs of the injected Executor and report back on the main
// thread through it, which lets tests hold, reorder and fail them on mock time. The final
// write at termination runs on a thread of the writer's own and signals its completion from
// there, because the main thread is blocked waiting for it and its event loop cannot deliver
// anything.

#include "FixedPhraseStorage.h"
#include "platform/Executor.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class FixedPhrasePersistence final
{
public:
    enum class SaveKind
    {
        regular,
        // Keeps the current file as "FixedPhrases.json.before-import" before replacing it.
        import,
    };
    struct Outcome
    {
        bool succeeded = false;
        QString errorDescription;
    };
    // The last step of a write, replaceable so that tests can make writes fail or observe
    // them. Runs on the writer's thread.
    using WriteFunction = std::function<bool(const FixedPhraseFolderList&, QString* error)>;

    FixedPhrasePersistence(Executor& executor, FixedPhraseStorage storage);
    ~FixedPhrasePersistence();
    FixedPhrasePersistence(const FixedPhrasePersistence&) = delete;
    FixedPhrasePersistence& operator=(const FixedPhrasePersistence&) = delete;

    const FixedPhraseStorage& storage() const;
    void setWriteFunction(WriteFunction write);
    // Makes every later write fail with reason (the store file could not be moved aside, so
    // writing would destroy the only copy of the user's phrases).
    void refuseWrites(const QString& reason);

    qint64 latestSavedGeneration() const;

    // Writes snapshot on the executor if generation is newer than the last written one; done
    // runs on the main thread. The write runs even if its caller no longer cares: done must
    // check that its receiver still exists.
    void save(FixedPhraseFolderList snapshot, qint64 generation, SaveKind kind,
        std::function<void(Outcome)> done);

    // The termination write: same rule, on the writer's own thread; waits at most timeout for
    // it and returns whether it finished (a failed write counts as finished).
    bool saveAndWait(
        FixedPhraseFolderList snapshot, qint64 generation, std::chrono::milliseconds timeout);

    // Drops list on a worker: freeing a 200,000-phrase store takes ~20 ms.
    void release(FixedPhraseFolderList list);

private:
    struct State;

    Executor& m_executor;
    std::shared_ptr<State> m_state;
};
