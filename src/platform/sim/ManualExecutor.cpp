#include "ManualExecutor.h"

ManualExecutor::ManualExecutor(Scheduler& scheduler)
    : m_scheduler(scheduler)
{ }

TaskHandle ManualExecutor::start(
    Priority, std::function<void(const CancelToken&)> job, std::function<void()> done)
{
    CancelToken token;
    m_jobs.push_back(Job {token, std::move(job), std::move(done)});
    return TaskHandle(token);
}

int ManualExecutor::pendingCount() const
{
    return static_cast<int>(m_jobs.size());
}

void ManualExecutor::runJob(int index)
{
    if (index < 0 || index >= pendingCount()) {
        return;
    }
    Job job = std::move(m_jobs[static_cast<size_t>(index)]);
    m_jobs.erase(m_jobs.begin() + index);
    if (!job.token.isCancelled()) {
        job.job(job.token);
    }
    m_scheduler.post([token = job.token, done = std::move(job.done)] {
        if (!token.isCancelled()) {
            done();
        }
    });
}

void ManualExecutor::runAll()
{
    while (!m_jobs.empty()) {
        runJob(0);
    }
}
