#pragma once

// One background job of the mouse model: a sequence of tool runs, one at a time. Cancelling
// drops the result of the run in flight and every later step; the model cancels a job before
// it starts the next one of the same kind.

#include "platform/SystemCommands.h"

#include <memory>

class MouseCommandTask final
{
public:
    explicit MouseCommandTask(SystemCommandExecutor& executor)
        : m_executor(executor)
    { }

    // commandLine: the executable's path, then the arguments.
    void run(const QStringList& commandLine, SystemCommandExecutor::Completion next)
    {
        if (!m_cancelled) {
            m_running = m_executor.run(commandLine.first(), commandLine.mid(1), std::move(next));
        }
    }
    void cancel()
    {
        m_cancelled = true;
        m_running.cancel();
    }
    bool isCancelled() const { return m_cancelled; }

private:
    SystemCommandExecutor& m_executor;
    TaskHandle m_running;
    bool m_cancelled = false;
};

using MouseTaskPointer = std::shared_ptr<MouseCommandTask>;
