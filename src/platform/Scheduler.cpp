#include "Scheduler.h"

#include <utility>

TimerHandle::TimerHandle(std::shared_ptr<State> state)
    : m_state(std::move(state))
{ }

TimerHandle::~TimerHandle()
{
    cancel();
}

TimerHandle::TimerHandle(TimerHandle&& other) noexcept
    : m_state(std::exchange(other.m_state, nullptr))
{ }

TimerHandle& TimerHandle::operator=(TimerHandle&& other) noexcept
{
    if (this != &other) {
        cancel();
        m_state = std::exchange(other.m_state, nullptr);
    }
    return *this;
}

void TimerHandle::cancel()
{
    if (!m_state) {
        return;
    }
    auto state = std::exchange(m_state, nullptr);
    if (!state->cancelled && !state->finished) {
        state->cancelled = true;
        if (state->stop) {
            auto stop = std::move(state->stop);
            stop();
        }
    }
}

bool TimerHandle::isActive() const
{
    return m_state && !m_state->cancelled && !m_state->finished;
}
