#pragma once

// The two runners of the system's command-line tools. Neither involves a shell: the executable
// is an absolute path and every argument is passed as it is. Output that is not valid UTF-8
// reads as the empty text; both streams are always drained, so a chatty tool never blocks on a
// full pipe.
//
// SystemDefaults runs a tool synchronously on the calling thread and keeps standard output and
// standard error apart (it returns standard output). Unlike the platform tool it stands in for,
// it does not wait forever: a tool still running after timeoutSeconds (generous; the tools it
// runs answer at once) is killed and the run fails as a launch failure, so a hung tool cannot
// freeze the main thread.
//
// SystemCommandExecutor runs a tool off the main thread with both streams merged into one
// channel and delivers the result on the main thread. Each call has its own process; calls may
// overlap. Destroying the returned handle drops the result.

#include "Executor.h"
#include "SystemCommandError.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class SystemDefaults
{
public:
    virtual ~SystemDefaults() = default;
    virtual SystemCommandResult run(const QString& executable, const QStringList& arguments) = 0;
};

class SystemCommandExecutor
{
public:
    using Completion = std::function<void(const SystemCommandResult&)>;

    virtual ~SystemCommandExecutor() = default;
    [[nodiscard]] virtual TaskHandle run(
        const QString& executable, const QStringList& arguments, Completion done) = 0;
};

// What a tool printed (both streams, in order) and its exit status.
struct ToolOutput
{
    QByteArray output;
    int exitCode = 0;
};

// A command line the asynchronous runner answers itself, on its worker thread, instead of
// starting the tool: starting a process costs far more than what some tools do. The answer
// runs concurrently with other calls; nothing means it could not answer, and the tool runs.
struct InProcessCommand
{
    QStringList commandLine; // the executable, then the arguments
    std::function<std::optional<ToolOutput>()> answer;
};

// The real runners, on QProcess.
class ProcessSystemDefaults final : public SystemDefaults
{
public:
    static constexpr double defaultTimeoutSeconds = 30.0;

    explicit ProcessSystemDefaults(double timeoutSeconds = defaultTimeoutSeconds)
        : m_timeoutSeconds(timeoutSeconds)
    { }
    SystemCommandResult run(const QString& executable, const QStringList& arguments) override;

private:
    double m_timeoutSeconds;
};

class ProcessSystemCommandExecutor final : public SystemCommandExecutor
{
public:
    explicit ProcessSystemCommandExecutor(
        Executor& executor, std::vector<InProcessCommand> inProcess = {})
        : m_executor(executor)
        , m_inProcess(std::move(inProcess))
    { }
    TaskHandle run(
        const QString& executable, const QStringList& arguments, Completion done) override;

private:
    Executor& m_executor;
    std::vector<InProcessCommand> m_inProcess;
};

// Runs the tools given to it one at a time, in the order asked, on another runner. A run whose
// handle is cancelled delivers nothing, but once its process has started it keeps its place
// until that process has ended: a tool that changes some state is never overtaken by the run
// that replaced it.
class SerialSystemCommandExecutor final : public SystemCommandExecutor
{
public:
    explicit SerialSystemCommandExecutor(SystemCommandExecutor& executor)
        : m_executor(executor)
    { }
    TaskHandle run(
        const QString& executable, const QStringList& arguments, Completion done) override;

private:
    struct Waiting
    {
        QString executable;
        QStringList arguments;
        Completion done;
        CancelToken token;
    };

    void startNext();

    SystemCommandExecutor& m_executor;
    std::deque<Waiting> m_waiting;
    TaskHandle m_running;
    bool m_busy = false;
};
