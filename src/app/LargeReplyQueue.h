#pragma once

// Admission of the instance's large replies (outputs built in the background): a few at once,
// the others waiting in order of arrival. A reply holds its slot from the start of its build
// until its last byte has been handed to the connection, or until its client leaves, so the
// memory taken by replies stays that of a few whatever the number of clients; a waiting reply
// holds only its request's snapshot. Small replies never wait here. Main thread only.

#include <deque>
#include <functional>
#include <memory>

class LargeReplyQueue final
{
    struct State;

public:
    // A taken slot; destroying (or reset()) frees it and admits the next waiting reply.
    class Slot final
    {
    public:
        Slot() = default;
        ~Slot() { reset(); }
        Slot(Slot&& other) noexcept = default;
        Slot& operator=(Slot&& other) noexcept;
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        void reset();

    private:
        friend class LargeReplyQueue;
        explicit Slot(std::weak_ptr<State> state)
            : m_state(std::move(state))
        { }
        std::weak_ptr<State> m_state;
    };

    explicit LargeReplyQueue(int slots);
    ~LargeReplyQueue();
    LargeReplyQueue(const LargeReplyQueue&) = delete;
    LargeReplyQueue& operator=(const LargeReplyQueue&) = delete;

    // Runs start with a slot as soon as one is free: at once, or when an earlier reply frees
    // its slot.
    void enqueue(std::function<void(Slot)> start);
    // Forgets the waiting replies (the server closes); slots taken stay taken until freed.
    void clear();

private:
    static void admit(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_state;
};
