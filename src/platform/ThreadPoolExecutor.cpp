#include "ThreadPoolExecutor.h"

ThreadPoolExecutor::ThreadPoolExecutor(Scheduler& scheduler, int maxThreads)
    : m_scheduler(scheduler)
{
    m_pool.setMaxThreadCount(maxThreads);
}

ThreadPoolExecutor::~ThreadPoolExecutor()
{
    m_pool.waitForDone();
}

TaskHandle ThreadPoolExecutor::start(
    Priority priority, std::function<void(const CancelToken&)> job, std::function<void()> done)
{
    CancelToken token;
    const int poolPriority = priority == Priority::UserInitiated ? 1 : 0;
    m_pool.start(
        [this, token, job = std::move(job), done = std::move(done)]() mutable {
            if (!token.isCancelled()) {
                job(token);
            }
            m_scheduler.post([token, done = std::move(done)] {
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
    return m_pool.waitForDone(msecs);
}
