#pragma once

// Production executor on a private QThreadPool; completions go through the Scheduler.

#include "Executor.h"

#include <QThreadPool>

class ThreadPoolExecutor final : public Executor
{
public:
    explicit ThreadPoolExecutor(Scheduler& scheduler, int maxThreads = 4);
    ~ThreadPoolExecutor() override;

    TaskHandle start(Priority priority, std::function<void(const CancelToken&)> job,
        std::function<void()> done) override;

    // Blocks until every job has finished (used at shutdown).
    bool waitForDone(int msecs);

private:
    Scheduler& m_scheduler;
    QThreadPool m_pool;
};
