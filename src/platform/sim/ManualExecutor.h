#pragma once

// Test executor: jobs queue up until the test runs them, in any order it likes, so that the
// races the models guard against (a capture finishing after monitoring stopped, an older save
// finishing after a newer one) can be produced on purpose. A finished job's completion is
// posted to the scheduler; the test then calls ManualScheduler::runPending().

#include "platform/Executor.h"

#include <deque>

class ManualExecutor final : public Executor
{
public:
    explicit ManualExecutor(Scheduler& scheduler);

    TaskHandle start(Priority priority, std::function<void(const CancelToken&)> job,
        std::function<void()> done) override;

    int pendingCount() const;
    // Runs the job at index (0 = oldest) on the calling thread and posts its completion.
    void runJob(int index = 0);
    void runAll();

private:
    struct Job
    {
        CancelToken token;
        std::function<void(const CancelToken&)> job;
        std::function<void()> done;
    };

    Scheduler& m_scheduler;
    std::deque<Job> m_jobs;
};
