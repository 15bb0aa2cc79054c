#include "LargeReplyQueue.h"

#include <utility>

struct LargeReplyQueue::State
{
    int free = 0;
    std::deque<std::function<void(Slot)>> waiting;
    // A start that frees its slot at once (its client has left) must not admit the next one
    // from inside the admission loop: the loop goes on with it instead.
    bool admitting = false;
};

LargeReplyQueue::Slot& LargeReplyQueue::Slot::operator=(Slot&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
    }
    return *this;
}

void LargeReplyQueue::Slot::reset()
{
    const std::shared_ptr<State> state = std::exchange(m_state, {}).lock();
    if (state) {
        ++state->free;
        admit(state);
    }
}

LargeReplyQueue::LargeReplyQueue(int slots)
    : m_state(std::make_shared<State>())
{
    m_state->free = slots;
}

LargeReplyQueue::~LargeReplyQueue() = default;

void LargeReplyQueue::enqueue(std::function<void(Slot)> start)
{
    m_state->waiting.push_back(std::move(start));
    admit(m_state);
}

void LargeReplyQueue::clear()
{
    m_state->waiting.clear();
}

void LargeReplyQueue::admit(const std::shared_ptr<State>& state)
{
    if (state->admitting) {
        return;
    }
    state->admitting = true;
    while (state->free > 0 && !state->waiting.empty()) {
        std::function<void(Slot)> start = std::move(state->waiting.front());
        state->waiting.pop_front();
        --state->free;
        start(Slot(state));
    }
    state->admitting = false;
}
