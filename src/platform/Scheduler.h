#pragma once

// Every timer and every hop back to the main thread goes through this interface so that
// tests can run timed behaviour on mock time (ManualScheduler) instead of sleeping.
// Delays and intervals are in seconds. post() may be called from any thread; the function
// always runs on the main thread. Handles are move-only; destroying one cancels it.

#include <QDateTime>

#include <functional>
#include <memory>

class TimerHandle final
{
public:
    struct State
    {
        bool cancelled = false;
        bool finished = false;
        std::function<void()> stop;
    };

    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<State> state);
    ~TimerHandle();
    TimerHandle(TimerHandle&& other) noexcept;
    TimerHandle& operator=(TimerHandle&& other) noexcept;
    TimerHandle(const TimerHandle&) = delete;
    TimerHandle& operator=(const TimerHandle&) = delete;

    void cancel();
    // True while the timer may still fire: not cancelled and, for a one-shot, not yet run.
    bool isActive() const;

private:
    std::shared_ptr<State> m_state;
};

class Scheduler
{
public:
    virtual ~Scheduler() = default;

    virtual QDateTime now() const = 0;
    // Monotonic seconds since an arbitrary origin.
    virtual double uptime() const = 0;

    virtual void post(std::function<void()> fn) = 0;
    [[nodiscard]] virtual TimerHandle postDelayed(double seconds, std::function<void()> fn) = 0;
    [[nodiscard]] virtual TimerHandle repeating(
        double intervalSeconds, std::function<void()> fn) = 0;
};
