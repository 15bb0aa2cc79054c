#pragma once

// One background job of the mouse model: a sequence of tool runs, one at a time. Cancelling
// drops the result of the run in flight and every later step; the model cancels a job before
// it starts the next one of the same kind. A device's properties are read and written through
// a runner shared by all jobs that runs one tool at a time, so a replaced job's write that has
// already started ends before its successor's reads and writes begin.

#include "platform/SystemCommands.h"

#include <memory>

class MouseCommandTask final
{
public:
    MouseCommandTask(SystemCommandExecutor& executor, SystemCommandExecutor& deviceExecutor)
        : m_executor(executor)
        , m_deviceExecutor(deviceExecutor)
    { }

    // commandLine: the executable's path, then the arguments.
    void run(const QStringList& commandLine, SystemCommandExecutor::Completion next)
    {
        runOn(m_executor, commandLine, std::move(next));
    }
    void runOnDevice(const QStringList& commandLine, SystemCommandExecutor::Completion next)
    {
        runOn(m_deviceExecutor, commandLine, std::move(next));
    }
    void cancel()
    {
        m_cancelled = true;
        m_running.cancel();
    }
    bool isCancelled() const { return m_cancelled; }

private:
    void runOn(SystemCommandExecutor& executor, const QStringList& commandLine,
        SystemCommandExecutor::Completion next)
    {
        if (!m_cancelled) {
            m_running = executor.run(commandLine.first(), commandLine.mid(1), std::move(next));
        }
    }

    SystemCommandExecutor& m_executor;
    SystemCommandExecutor& m_deviceExecutor;
    TaskHandle m_running;
    bool m_cancelled = false;
};

using MouseTaskPointer = std::shared_ptr<MouseCommandTask>;
