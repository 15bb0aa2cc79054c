#include "FixedPhrasePersistence.h"

#include <QSemaphore>

#include <mutex>
#include <thread>

struct FixedPhrasePersistence::State
{
    explicit State(FixedPhraseStorage s)
        : storage(std::move(s))
    { }

    Outcome write(const FixedPhraseFolderList& snapshot, qint64 generation, SaveKind kind)
    {
        const std::lock_guard lock(mutex);
        if (generation <= latestSavedGeneration) {
            return {true, {}};
        }
        if (!refusal.isEmpty()) {
            return {false, refusal};
        }
        QString error;
        if (kind == SaveKind::import && !storage.keepBeforeImport(&error)) {
            return {false, error};
        }
        const bool written =
            writeFunction ? writeFunction(snapshot, &error) : storage.save(snapshot, &error);
        if (!written) {
            return {false, error};
        }
        latestSavedGeneration = generation;
        return {true, {}};
    }

    const FixedPhraseStorage storage;
    mutable std::mutex mutex;
    qint64 latestSavedGeneration = -1;
    QString refusal;
    WriteFunction writeFunction;
};

FixedPhrasePersistence::FixedPhrasePersistence(Executor& executor, FixedPhraseStorage storage)
    : m_executor(executor)
    , m_state(std::make_shared<State>(std::move(storage)))
{ }

FixedPhrasePersistence::~FixedPhrasePersistence() = default;

const FixedPhraseStorage& FixedPhrasePersistence::storage() const
{
    return m_state->storage;
}

void FixedPhrasePersistence::setWriteFunction(WriteFunction write)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->writeFunction = std::move(write);
}

void FixedPhrasePersistence::refuseWrites(const QString& reason)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->refusal = reason;
}

qint64 FixedPhrasePersistence::latestSavedGeneration() const
{
    const std::lock_guard lock(m_state->mutex);
    return m_state->latestSavedGeneration;
}

void FixedPhrasePersistence::save(FixedPhraseFolderList snapshot, qint64 generation, SaveKind kind,
    std::function<void(Outcome)> done)
{
    auto outcome = std::make_shared<Outcome>();
    m_executor
        .start(
            Executor::Priority::UserInitiated,
            [state = m_state, outcome, snapshot = std::move(snapshot), generation, kind](
                const CancelToken&) mutable {
                *outcome = state->write(snapshot, generation, kind);
                // The snapshot may be the last reference to a list the main thread has replaced:
                // free it here rather than wherever the job happens to be destroyed.
                snapshot = {};
            },
            [outcome, done = std::move(done)] { done(*outcome); })
        // A write, once handed over, always runs: forgetting the handle keeps it from being
        // cancelled when it goes out of scope.
        .release();
}

bool FixedPhrasePersistence::saveAndWait(
    FixedPhraseFolderList snapshot, qint64 generation, std::chrono::milliseconds timeout)
{
    auto finished = std::make_shared<QSemaphore>(0);
    std::thread([state = m_state, finished, snapshot = std::move(snapshot), generation] {
        state->write(snapshot, generation, SaveKind::regular);
        finished->release();
    }).detach();
    return finished->tryAcquire(1, static_cast<int>(timeout.count()));
}

void FixedPhrasePersistence::release(FixedPhraseFolderList list)
{
    m_executor
        .start(
            Executor::Priority::Utility,
            [list = std::move(list)](const CancelToken&) mutable { list = {}; }, [] {})
        .release();
}
