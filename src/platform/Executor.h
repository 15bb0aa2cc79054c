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
    {
    }
    bool isCancelled() const { return m_flag->load(std::memory_order_acquire); }
    void cancel() const { m_flag->store(true, std::memory_order_release); }

private:
    std::shared_ptr<std::atomic_bool> m_flag;
};

class TaskHandle final
{
public:
    TaskHandle() = default;
    explicit TaskHandle(CancelToken token)
        : m_token(std::move(token))
    {
    }
    ~TaskHandle() { cancel(); }
    TaskHandle(TaskHandle&& other) noexcept
        : m_token(std::exchange(other.m_token, std::nullopt))
    {
    }
    TaskHandle& operator=(TaskHandle&& other) noexcept
    {
        if (this != &other) {
            cancel();
            m_token = std::exchange(other.m_token, std::nullopt);
        }
        return *this;
    }
    TaskHandle(const TaskHandle&) = delete;
    TaskHandle& operator=(const TaskHandle&) = delete;

    void cancel()
    {
        if (m_token) {
            m_token->cancel();
            m_token.reset();
        }
    }
    // Forgets the task without cancelling it (its completion will still run).
    void release() { m_token.reset(); }
    bool isEmpty() const { return !m_token.has_value(); }

private:
    std::optional<CancelToken> m_token;
};

class Executor
{
public:
    enum class Priority { UserInitiated, Utility };

    virtual ~Executor() = default;

    // Runs job on a worker; afterwards posts done to the main thread unless cancelled.
    [[nodiscard]] virtual TaskHandle start(Priority priority, std::function<void(const CancelToken&)> job,
        std::function<void()> done)
        = 0;

    // Typed convenience: the job's result is handed to done on the main thread.
    template<typename Result>
    [[nodiscard]] TaskHandle run(Priority priority,
        std::function<Result(const CancelToken&)> job, std::function<void(Result)> done)
    {
        auto slot = std::make_shared<std::optional<Result>>();
        return start(
            priority, [slot, job = std::move(job)](const CancelToken& token) { slot->emplace(job(token)); },
            [slot, done = std::move(done)] {
                if (slot->has_value()) {
                    done(std::move(**slot));
                }
            });
    }
};
