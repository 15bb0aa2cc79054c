#pragma once

// Background work: a job runs off the main thread and its completion is delivered back on
// the main thread through the Scheduler. Cancellation is cooperative: the job can poll its
// CancelToken, and a cancelled task never delivers its completion. Destroying a TaskHandle
// cancels the task, so a model that dies with work in flight is never called back.

#include "Scheduler.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class CancelToken final
{
public:
    CancelToken()
        : m_flag(std::make_shared<std::atomic_bool>(false))
    { }
    bool isCancelled() const { return m_flag->load(std::memory_order_acquire); }
    void cancel() const { m_flag->store(true, std::memory_order_release); }

private:
    friend class TaskHandle;
    std::shared_ptr<std::atomic_bool> m_flag;
};

class TaskHandle final
{
public:
    TaskHandle() = default;
    explicit TaskHandle(const CancelToken& token)
        : m_flag(token.m_flag)
    { }
    ~TaskHandle() { cancel(); }
    TaskHandle(TaskHandle&& other) noexcept
        : m_flag(std::exchange(other.m_flag, nullptr))
    { }
    TaskHandle& operator=(TaskHandle&& other) noexcept
    {
        if (this != &other) {
            cancel();
            m_flag = std::exchange(other.m_flag, nullptr);
        }
        return *this;
    }
    TaskHandle(const TaskHandle&) = delete;
    TaskHandle& operator=(const TaskHandle&) = delete;

    void cancel()
    {
        if (m_flag) {
            m_flag->store(true, std::memory_order_release);
            m_flag.reset();
        }
    }
    // Forgets the task without cancelling it (its completion will still run).
    void release() { m_flag.reset(); }
    bool isEmpty() const { return !m_flag; }

private:
    std::shared_ptr<std::atomic_bool> m_flag;
};

class Executor
{
public:
    enum class Priority
    {
        UserInitiated,
        Utility
    };

    virtual ~Executor() = default;

    // Runs job on a worker; afterwards posts done to the main thread unless cancelled.
    [[nodiscard]] virtual TaskHandle start(Priority priority,
        std::function<void(const CancelToken&)> job, std::function<void()> done) = 0;

    // Typed convenience: the job's result is handed to done on the main thread.
    template<typename Result>
    [[nodiscard]] TaskHandle run(Priority priority, std::function<Result(const CancelToken&)> job,
        std::function<void(Result)> done)
    {
        auto slot = std::make_shared<std::optional<Result>>();
        return start(
            priority,
            [slot, job = std::move(job)](const CancelToken& token) { slot->emplace(job(token)); },
            [slot, done = std::move(done)] {
                if (slot->has_value()) {
                    done(std::move(**slot));
                }
            });
    }
};
