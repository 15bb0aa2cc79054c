#pragma once

// The running side of the evdev scroll tap: one EvdevScrollRewriter per grabbed event node, all
// writing to the one virtual device, each read on the main thread as soon as its node has
// events. When a node ends or fails (the mouse unplugged), the loop stops reading every node
// and says so once; the owner tears the tap down. It owns no file descriptor.

#include "EvdevScrollRewriter.h"

#include <QList>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

class EvdevScrollLoop final
{
public:
    EvdevScrollLoop(const QList<int>& inputFds, int outputFd,
        const EvdevScrollRewriter::Handler& handler, std::function<void()> ended);
    ~EvdevScrollLoop();
    EvdevScrollLoop(const EvdevScrollLoop&) = delete;
    EvdevScrollLoop& operator=(const EvdevScrollLoop&) = delete;

    bool isRunning() const { return m_running; }

private:
    void stop();

    struct Input
    {
        std::unique_ptr<EvdevScrollRewriter> rewriter;
        std::unique_ptr<QSocketNotifier> notifier;
    };
    std::vector<Input> m_inputs;
    std::function<void()> m_ended;
    bool m_running = true;
};
