#include "PersistentStoreWriter.h"

#include "PrivateFiles.h"

#include <QDir>
#include <QIODevice>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Passes the encoder's writes on until the write is to stop; from then on every write fails, so
// the encoder gives up at its next chunk and the atomic write throws its temporary file away.
class StoppableDevice final : public QIODevice
{
public:
    StoppableDevice(QIODevice& target, const std::function<bool()>& stop)
        : m_target(target)
        , m_stop(stop)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        return m_stop() ? -1 : m_target.write(data, size);
    }

private:
    QIODevice& m_target;
    const std::function<bool()>& m_stop;
};

} // namespace

struct PersistentStoreWriter::Job
{
    qint64 generation = 0;
    bool requested = false;
    Snapshot snapshot;
    std::function<void(const Outcome&)> done; // main thread only
    // Whoever sets it first runs the write: a worker, or flush() on the calling thread.
    std::atomic_bool claimed {false};
    std::atomic_bool abandoned {false};
    // Written before finished is set, under Shared::stateMutex.
    bool finished = false;
    bool stopped = false;
    std::optional<QString> error;

    bool claim() { return !claimed.exchange(true, std::memory_order_acq_rel); }
};

struct PersistentStoreWriter::Shared
{
    // Runs job's write (or skips it when a newer generation is on disk). stop is polled
    // between chunks; deadline bounds the wait for another write to finish.
    void write(
        Job& job, const QString& path, const std::function<bool()>& stop, QDeadlineTimer deadline)
    {
        std::optional<QString> error;
        bool stopped = false;
        {
            // One write at a time, whatever order the jobs run in.
            std::unique_lock lock(writeMutex, std::defer_lock);
            const bool locked = deadline.isForever()
                ? (lock.lock(), true)
                : lock.try_lock_for(std::chrono::milliseconds(deadline.remainingTime()));
            if (!locked || stop()) {
                stopped = true;
            } else if (job.generation > latestWrittenGeneration) {
                error = writeFile(job, path, stop);
                stopped = error && stop();
                if (!error) {
                    latestWrittenGeneration = job.generation;
                }
            }
            if (stopped) {
                error = QDir::toNativeSeparators(path) + QStringLiteral(": 書き込みを中止しました");
            }
            // The snapshot may hold the last reference to a large list the main thread has
            // replaced: free it here rather than on the main thread.
            job.snapshot = {};
        }
        {
            const std::lock_guard lock(stateMutex);
            job.error = std::move(error);
            job.stopped = stopped;
            job.finished = true;
        }
        finishedCondition.notify_all();
    }

    std::optional<QString> writeFile(
        Job& job, const QString& path, const std::function<bool()>& stop)
    {
        QString error;
        if (job.snapshot.prepare && !job.snapshot.prepare(&error)) {
            return error;
        }
        const auto encode = [&job, &stop](QIODevice& device) {
            StoppableDevice guarded(device, stop);
            return job.snapshot.encode(guarded) && !stop();
        };
        const bool written = fileWrite ? fileWrite(path, encode, &error)
                                       : PrivateFiles::writeAtomically(path, encode, &error);
        if (!written) {
            return error;
        }
        return std::nullopt;
    }

    std::timed_mutex writeMutex;
    qint64 latestWrittenGeneration = -1;
    FileWrite fileWrite;

    std::mutex stateMutex;
    std::condition_variable finishedCondition;
};

PersistentStoreWriter::PersistentStoreWriter(Scheduler& scheduler, Executor& executor,
    QString filePath, SnapshotSource source, Options options)
    : m_scheduler(scheduler)
    , m_executor(executor)
    , m_filePath(std::move(filePath))
    , m_source(std::move(source))
    , m_options(options)
    , m_shared(std::make_shared<Shared>())
{ }

PersistentStoreWriter::~PersistentStoreWriter() = default;

void PersistentStoreWriter::setSaveFailedHandler(std::function<void(const Outcome&)> handler)
{
    m_saveFailed = std::move(handler);
}

void PersistentStoreWriter::setFileWriteForTesting(FileWrite write)
{
    const std::lock_guard lock(m_shared->writeMutex);
    m_shared->fileWrite = std::move(write);
}

void PersistentStoreWriter::requestSave()
{
    ++m_generation;
    if (m_options.debounce <= 0) {
        startRequestedWrite();
        return;
    }
    m_debounceTimer =
        m_scheduler.postDelayed(m_options.debounce, [this] { startRequestedWrite(); });
}

bool PersistentStoreWriter::cancelPendingSave()
{
    const bool waiting = m_debounceTimer.isActive() || m_dueAfterWrite;
    m_debounceTimer.cancel();
    m_dueAfterWrite = false;
    ++m_generation;
    return waiting;
}

PersistentStoreWriter::Ticket PersistentStoreWriter::writeNow(
    Snapshot snapshot, std::function<void(const Outcome&)> done)
{
    const bool cancelled = cancelPendingSave();
    if (m_refusal) {
        // Reported later, like any write, so callers see one order of events.
        m_scheduler.post([alive = std::weak_ptr<bool>(m_alive), generation = m_generation,
                             refusal = *m_refusal, done = std::move(done)] {
            if (!alive.expired()) {
                done(Outcome {generation, refusal});
            }
        });
        return {m_generation, cancelled};
    }
    submit(std::move(snapshot), false)->done = std::move(done);
    return {m_generation, cancelled};
}

void PersistentStoreWriter::startRequestedWrite()
{
    m_debounceTimer.cancel();
    if (m_refusal) {
        if (m_saveFailed) {
            m_saveFailed(Outcome {m_generation, m_refusal});
        }
        return;
    }
    for (const std::shared_ptr<Job>& job : std::as_const(m_jobs)) {
        if (job->requested) {
            m_dueAfterWrite = true;
            return;
        }
    }
    submit(m_source(), true);
}

std::shared_ptr<PersistentStoreWriter::Job> PersistentStoreWriter::submit(
    Snapshot snapshot, bool requested)
{
    auto job = std::make_shared<Job>();
    job->generation = m_generation;
    job->requested = requested;
    job->snapshot = std::move(snapshot);
    m_jobs.append(job);
    m_executor
        .start(
            m_options.priority,
            [shared = m_shared, job, path = m_filePath](const CancelToken&) {
                if (job->claim()) {
                    shared->write(
                        *job, path, [&job] { return job->abandoned.load(); },
                        QDeadlineTimer(QDeadlineTimer::Forever));
                }
            },
            [this, alive = std::weak_ptr<bool>(m_alive), job] {
                if (!alive.expired()) {
                    finishJob(job);
                }
            })
        // A write, once handed over, always runs (an abandoned one only to clean up): the
        // handle is dropped without cancelling it.
        .release();
    return job;
}

void PersistentStoreWriter::finishJob(const std::shared_ptr<Job>& job)
{
    Outcome outcome {job->generation, std::nullopt};
    {
        const std::lock_guard lock(m_shared->stateMutex);
        if (!job->finished) {
            return;
        }
        outcome.error = job->error;
    }
    // flush() may have applied this completion already, or run the job itself.
    if (m_jobs.removeOne(job)) {
        report(job, outcome);
    }
}

void PersistentStoreWriter::report(const std::shared_ptr<Job>& job, const Outcome& outcome)
{
    if (job->done) {
        job->done(outcome);
    }
    if (!job->requested) {
        return;
    }
    if (outcome.error && m_saveFailed) {
        m_saveFailed(outcome);
    }
    if (std::exchange(m_dueAfterWrite, false)) {
        startRequestedWrite();
    }
}

bool PersistentStoreWriter::flush(QDeadlineTimer deadline)
{
    const bool waiting = m_debounceTimer.isActive() || std::exchange(m_dueAfterWrite, false);
    m_debounceTimer.cancel();
    if (waiting && !m_refusal) {
        // Not behind the write in flight: its completion needs the event loop, which no
        // longer runs. The generations keep the order.
        submit(m_source(), true);
    }
    const QList<std::shared_ptr<Job>> jobs = m_jobs;
    // Newest first: the older snapshots are then skipped instead of written.
    for (auto it = jobs.crbegin(); it != jobs.crend(); ++it) {
        if ((*it)->claim()) {
            m_shared->write(
                **it, m_filePath, [&deadline] { return deadline.hasExpired(); }, deadline);
        }
    }
    bool complete = true;
    {
        std::unique_lock lock(m_shared->stateMutex);
        for (const std::shared_ptr<Job>& job : jobs) {
            const auto finished = [&job] {
                return job->finished;
            };
            if (deadline.isForever()) {
                m_shared->finishedCondition.wait(lock, finished);
            } else if (!m_shared->finishedCondition.wait_for(
                           lock, std::chrono::milliseconds(deadline.remainingTime()), finished)) {
                job->abandoned.store(true);
            }
            complete = complete && job->finished && !job->stopped;
        }
    }
    for (const std::shared_ptr<Job>& job : jobs) {
        // An abandoned job reports through the event loop, should it run again.
        finishJob(job);
    }
    return complete;
}

void PersistentStoreWriter::settleLeftovers(const SaveLeftovers::Parses& parses)
{
    for (const QString& line : SaveLeftovers::settle(m_filePath, parses, m_scheduler.now())) {
        qWarning("Norvale: %s", qUtf8Printable(line));
    }
}

QString PersistentStoreWriter::keepUnreadableFile(const QString& refusal)
{
    const QString moved = PrivateFiles::moveAside(m_filePath, m_scheduler.now());
    // The interface stays silent about it; the journal tells a user who finds an empty store
    // where the data went.
    if (moved.isEmpty()) {
        m_loadWarning =
            QStringLiteral("could not read %1 nor move it aside; not writing it").arg(m_filePath);
        refuseWrites(refusal);
    } else {
        m_loadWarning = QStringLiteral("could not read %1; kept it as %2").arg(m_filePath, moved);
    }
    qWarning("Norvale: %s", qUtf8Printable(m_loadWarning));
    return moved;
}

void PersistentStoreWriter::refuseWrites(const QString& reason)
{
    m_refusal = reason;
}

bool PersistentStoreWriter::hasPendingSave() const
{
    if (m_debounceTimer.isActive() || m_dueAfterWrite) {
        return true;
    }
    for (const std::shared_ptr<Job>& job : m_jobs) {
        if (job->requested) {
            return true;
        }
    }
    return false;
}
