#pragma once

// Mock time for tests. Nothing runs until the test calls advance() or runPending(); then
// everything that falls due runs in order of due time, then posting order, including work
// scheduled while advancing. Single-threaded: post() from another thread is not supported,
// which is why the test executor runs jobs on the calling thread.

#include "platform/Scheduler.h"

#include <cstdint>
#include <map>
#include <utility>

class ManualScheduler final : public Scheduler
{
public:
    explicit ManualScheduler(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC));

    QDateTime now() const override;
    double uptime() const override;
    void post(std::function<void()> fn) override;
    TimerHandle postDelayed(double seconds, std::function<void()> fn) override;
    TimerHandle repeating(double intervalSeconds, std::function<void()> fn) override;

    // Moves the clock forward, running every task that falls due on the way.
    void advance(double seconds);
    // Runs what is due now (posted work included) without moving the clock.
    void runPending();
    // Moves the wall clock without running anything (a user changing the system time).
    void setWallClock(const QDateTime& now);
    int pendingCount() const;

private:
    struct Task
    {
        double interval = 0; // > 0 for repeating tasks
        std::function<void()> fn;
        std::shared_ptr<TimerHandle::State> state;
    };
    using Key = std::pair<double, std::uint64_t>;

    TimerHandle schedule(double due, double interval, std::function<void()> fn);
    bool runNextDue(double limit);

    QDateTime m_wallStart;
    double m_time = 0;
    std::uint64_t m_sequence = 0;
    std::map<Key, Task> m_tasks;
};
