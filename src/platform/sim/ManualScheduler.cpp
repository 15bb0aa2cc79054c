#include "ManualScheduler.h"

#include <cmath>

ManualScheduler::ManualScheduler(QDateTime start)
    : m_wallStart(std::move(start))
{ }

QDateTime ManualScheduler::now() const
{
    return m_wallStart.addMSecs(static_cast<qint64>(std::llround(m_time * 1000.0)));
}

double ManualScheduler::uptime() const
{
    return m_time;
}

void ManualScheduler::post(std::function<void()> fn)
{
    // Posted work is not cancellable: drop the state without a handle.
    m_tasks.emplace(Key {m_time, m_sequence++},
        Task {0, std::move(fn), std::make_shared<TimerHandle::State>()});
}

TimerHandle ManualScheduler::postDelayed(double seconds, std::function<void()> fn)
{
    return schedule(m_time + std::max(0.0, seconds), 0, std::move(fn));
}

TimerHandle ManualScheduler::repeating(double intervalSeconds, std::function<void()> fn)
{
    const double interval = std::max(1e-6, intervalSeconds);
    return schedule(m_time + interval, interval, std::move(fn));
}

TimerHandle ManualScheduler::schedule(double due, double interval, std::function<void()> fn)
{
    auto state = std::make_shared<TimerHandle::State>();
    m_tasks.emplace(Key {due, m_sequence++}, Task {interval, std::move(fn), state});
    return TimerHandle(state);
}

bool ManualScheduler::runNextDue(double limit)
{
    while (!m_tasks.empty()) {
        auto it = m_tasks.begin();
        if (it->first.first > limit + 1e-9) {
            return false;
        }
        const double due = it->first.first;
        Task task = std::move(it->second);
        m_tasks.erase(it);
        if (task.state->cancelled) {
            continue;
        }
        m_time = std::max(m_time, due);
        if (task.interval > 0) {
            // Reschedule before running so the task may cancel itself.
            m_tasks.emplace(
                Key {due + task.interval, m_sequence++}, Task {task.interval, task.fn, task.state});
        } else {
            task.state->finished = true;
        }
        task.fn();
        return true;
    }
    return false;
}

void ManualScheduler::advance(double seconds)
{
    const double target = m_time + std::max(0.0, seconds);
    while (runNextDue(target)) { }
    m_time = target;
}

void ManualScheduler::runPending()
{
    advance(0);
}

void ManualScheduler::setWallClock(const QDateTime& now)
{
    m_wallStart = now.addMSecs(-static_cast<qint64>(std::llround(m_time * 1000.0)));
}

int ManualScheduler::pendingCount() const
{
    int count = 0;
    for (const auto& [key, task] : m_tasks) {
        if (!task.state->cancelled) {
            ++count;
        }
    }
    return count;
}
