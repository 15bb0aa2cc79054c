#pragma once

// Production executor on a private QThreadPool; completions go through the Scheduler.
//
// Destruction waits for the jobs still running, but only for shutdownWait: the process must be
// able to end even when a worker is stuck in a system call that never returns (a file on a
// dead network share, say). The stores have been flushed with their own deadlines by then, so
// a stuck job holds nothing the user could lose. Its threads are left to the process's exit;
// when such a job ends after all, its completion is dropped, since the scheduler may be gone.

#include "Executor.h"

#include <QThreadPool>

#include <chrono>
#include <memory>

class ThreadPoolExecutor final : public Executor
{
public:
    explicit ThreadPoolExecutor(Scheduler& scheduler, int maxThreads = 4,
        std::chrono::milliseconds shutdownWait = std::chrono::seconds(3));
    ~ThreadPoolExecutor() override;

    TaskHandle start(Priority priority, std::function<void(const CancelToken&)> job,
        std::function<void()> done) override;

    // Blocks until every job has finished or msecs have passed; true when all finished.
    bool waitForDone(int msecs);

private:
    struct Delivery;

    std::shared_ptr<Delivery> m_delivery;
    std::chrono::milliseconds m_shutdownWait;
    // Released, not destroyed, when a job outlives the shutdown wait: QThreadPool's own
    // destructor would wait for it without a bound.
    std::unique_ptr<QThreadPool> m_pool;
};
