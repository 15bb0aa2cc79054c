#include "ThreadPoolExecutor.h"

#include <QMutex>

// Where a finished job posts its completion; cleared when the executor goes away, so that a job
// which outlived it never touches a destroyed scheduler.
struct ThreadPoolExecutor::Delivery
{
    QMutex mutex;
    Scheduler* scheduler = nullptr;
};

ThreadPoolExecutor::ThreadPoolExecutor(
    Scheduler& scheduler, int maxThreads, std::chrono::milliseconds shutdownWait)
    : m_delivery(std::make_shared<Delivery>())
    , m_shutdownWait(shutdownWait)
    , m_pool(std::make_unique<QThreadPool>())
{
    m_delivery->scheduler = &scheduler;
    m_pool->setMaxThreadCount(maxThreads);
}

ThreadPoolExecutor::~ThreadPoolExecutor()
{
    const bool finished = m_pool->waitForDone(int(m_shutdownWait.count()));
    {
        QMutexLocker locker(&m_delivery->mutex);
        m_delivery->scheduler = nullptr;
    }
    if (!finished) {
        qWarning("Norvale: a background job did not finish within %lld ms; leaving it behind",
            static_cast<long long>(m_shutdownWait.count()));
        (void)m_pool.release();
    }
}

TaskHandle ThreadPoolExecutor::start(
    Priority priority, std::function<void(const CancelToken&)> job, std::function<void()> done)
{
    CancelToken token;
    const int poolPriority = priority == Priority::UserInitiated ? 1 : 0;
    m_pool->start(
        [delivery = m_delivery, token, job = std::move(job), done = std::move(done)]() mutable {
            if (!token.isCancelled()) {
                job(token);
            }
            QMutexLocker locker(&delivery->mutex);
            if (delivery->scheduler == nullptr) {
                return;
            }
            delivery->scheduler->post([token, done = std::move(done)] {
                if (!token.isCancelled()) {
                    done();
                }
            });
        },
        poolPriority);
    return TaskHandle(token);
}

bool ThreadPoolExecutor::waitForDone(int msecs)
{
    return m_pool->waitForDone(msecs);
}
