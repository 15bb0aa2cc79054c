#include "SystemCommands.h"

#include <QProcess>
#include <QStringDecoder>

#include <cmath>

namespace {

QString decodedOrEmpty(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

SystemCommandResult commandResultOf(
    bool succeeded, const QString& output, const QString& errorOutput)
{
    if (succeeded) {
        return SystemCommandResult::success(output);
    }
    return SystemCommandResult::failure(SystemCommandError::nonZeroExit(output, errorOutput));
}

enum class Channels
{
    Separate,
    Merged
};

// Runs the tool to its end (or to the time-out, < 0 for none) on the calling thread. QProcess
// reads both pipes while it waits, so neither can fill up.
SystemCommandResult runProcess(
    const QString& executable, const QStringList& arguments, Channels channels, int timeoutMs)
{
    QProcess process;
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setProcessChannelMode(
        channels == Channels::Merged ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        return SystemCommandResult::launchFailure(process.errorString());
    }
    if (!process.waitForFinished(timeoutMs)) {
        const QString description = process.errorString();
        process.kill();
        process.waitForFinished(-1);
        return SystemCommandResult::launchFailure(description);
    }
    const QString output = decodedOrEmpty(process.readAllStandardOutput());
    const QString errorOutput =
        channels == Channels::Merged ? output : decodedOrEmpty(process.readAllStandardError());
    return commandResultOf(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
        output, errorOutput);
}

} // namespace

SystemCommandResult ProcessSystemDefaults::run(
    const QString& executable, const QStringList& arguments)
{
    return runProcess(executable, arguments, Channels::Separate,
        static_cast<int>(std::lround(m_timeoutSeconds * 1000)));
}

TaskHandle ProcessSystemCommandExecutor::run(
    const QString& executable, const QStringList& arguments, Completion done)
{
    const QStringList commandLine = QStringList {executable} + arguments;
    std::function<std::optional<ToolOutput>()> answer;
    for (const InProcessCommand& command : m_inProcess) {
        if (command.commandLine == commandLine) {
            answer = command.answer;
        }
    }
    return m_executor.run<SystemCommandResult>(
        Executor::Priority::UserInitiated,
        [executable, arguments, answer](const CancelToken&) {
            if (const auto answered = answer ? answer() : std::nullopt) {
                const QString output = decodedOrEmpty(answered->output);
                return commandResultOf(answered->exitCode == 0, output, output);
            }
            return runProcess(executable, arguments, Channels::Merged, -1);
        },
        [done = std::move(done)](SystemCommandResult result) { done(result); });
}

TaskHandle SerialSystemCommandExecutor::run(
    const QString& executable, const QStringList& arguments, Completion done)
{
    CancelToken token;
    m_waiting.push_back({executable, arguments, std::move(done), token});
    if (!m_busy) {
        startNext();
    }
    return TaskHandle(token);
}

void SerialSystemCommandExecutor::startNext()
{
    while (!m_waiting.empty() && m_waiting.front().token.isCancelled()) {
        m_waiting.pop_front();
    }
    m_busy = !m_waiting.empty();
    if (!m_busy) {
        return;
    }
    Waiting next = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_running = m_executor.run(next.executable, next.arguments,
        [this, token = next.token, done = std::move(next.done)](const SystemCommandResult& result) {
            if (!token.isCancelled()) {
                done(result);
            }
            startNext();
        });
}
