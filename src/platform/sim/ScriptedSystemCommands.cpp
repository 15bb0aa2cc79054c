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
    m_scheduler.post([token, result = answer(executable, arguments), done = std::move(done)] {
        if (!token.isCancelled()) {
            done(result);
        }
    });
    return TaskHandle(token);
}
