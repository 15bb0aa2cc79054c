#include "ScriptedSystemCommands.h"

namespace {

QStringList commandLine(const QString& executable, const QStringList& arguments)
{
    return QStringList {executable} + arguments;
}

} // namespace

void ScriptedSystemCommands::script(
    const QString& executable, const QStringList& arguments, const SystemCommandResult& result)
{
    m_results.insert(commandLine(executable, arguments), result);
}

SystemCommandResult ScriptedSystemCommands::answer(
    const QString& executable, const QStringList& arguments)
{
    m_calls.append({executable, arguments});
    const auto found = m_results.constFind(commandLine(executable, arguments));
    if (found != m_results.constEnd()) {
        return *found;
    }
    if (m_responder) {
        return m_responder(executable, arguments);
    }
    return SystemCommandResult::launchFailure(QStringLiteral("execve: No such file or directory"));
}

SystemCommandResult ScriptedSystemCommands::run(
    const QString& executable, const QStringList& arguments)
{
    return answer(executable, arguments);
}

TaskHandle ScriptedSystemCommands::run(
    const QString& executable, const QStringList& arguments, Completion done)
{
    CancelToken token;
    SystemCommandResult result = answer(executable, arguments);
    if (m_holding) {
        m_inFlight.append({m_calls.last(), std::move(result), token, std::move(done)});
        return TaskHandle(token);
    }
    deliver(token, std::move(result), std::move(done));
    return TaskHandle(token);
}

ScriptedSystemCommands::Call ScriptedSystemCommands::finish(qsizetype index)
{
    InFlight run = m_inFlight.takeAt(index);
    deliver(run.token, std::move(run.result), std::move(run.done));
    return run.call;
}

void ScriptedSystemCommands::deliver(
    const CancelToken& token, SystemCommandResult result, Completion done)
{
    m_scheduler.post([token, result = std::move(result), done = std::move(done)] {
        if (!token.isCancelled()) {
            done(result);
        }
    });
}
