#include "CommandLineClient.h"

#include <QDeadlineTimer>
#include <QThread>

CommandLineClient::CommandLineClient(const CommandRegistry& registry, InstancePaths paths,
    LocalContextFactory localContext, int startupWaitMs)
    : m_registry(registry)
    , m_paths(std::move(paths))
    , m_localContext(std::move(localContext))
    , m_startupWaitMs(startupWaitMs)
{ }

CommandResult CommandLineClient::run(
    const QStringList& tokens, const QString& workingDirectory) const
{
    QString error;
    const auto parsed = m_registry.parse(tokens, &error);
    if (!parsed) {
        return CommandResult::failure(
            QStringLiteral("norvale: %1\nTry 'norvale --help'.").arg(error), CommandExit::usage);
    }
    if (parsed->helpRequested) {
        return CommandResult::output(
            parsed->spec != nullptr ? m_registry.help(*parsed->spec) : m_registry.help());
    }
    const CommandSpec& spec = *parsed->spec;
    CommandInvocation invocation = parsed->invocation;
    invocation.workingDirectory = workingDirectory;
    if (spec.route == CommandRoute::Local) {
        return runLocally(spec, invocation);
    }

    InstanceGuard guard(m_paths);
    switch (guard.tryLock(&error)) {
    case InstanceGuard::LockState::Failed:
        return CommandResult::failure(QStringLiteral("norvale: ") + error);
    case InstanceGuard::LockState::Acquired:
        switch (spec.route) {
        case CommandRoute::Instance:
            return CommandResult::failure(
                QStringLiteral("norvale: Norvale is not running (start it with 'norvale')"),
                CommandExit::noInstance);
        case CommandRoute::InstancePreferred:
            // Reading needs no lock; holding it would only stop an instance from starting.
            guard.unlock();
            return runLocally(spec, invocation);
        case CommandRoute::LocalWithoutInstance:
        case CommandRoute::Local:
        case CommandRoute::Client:
            return runLocally(spec, invocation);
        }
        break;
    case InstanceGuard::LockState::HeldElsewhere:
        if (spec.route == CommandRoute::LocalWithoutInstance) {
            return CommandResult::failure(
                QStringLiteral(
                    "norvale: '%1' is refused while Norvale is running, because it would "
                    "not see the change; quit it first ('norvale quit')")
                    .arg(spec.words.join(QLatin1Char(' '))),
                CommandExit::instanceRunning);
        }
        if (spec.route == CommandRoute::Client) {
            return runLocally(
                spec, invocation, [this, workingDirectory](const QStringList& request) {
                    return sendToInstance(InstanceRequest {request, workingDirectory});
                });
        }
        return sendToInstance(InstanceRequest {tokens, workingDirectory});
    }
    return CommandResult::failure(QStringLiteral("norvale: internal error"));
}

CommandResult CommandLineClient::sendToInstance(const InstanceRequest& request) const
{
    QDeadlineTimer deadline(m_startupWaitMs);
    for (;;) {
        if (std::optional<CommandResult> result =
                InstanceClient::attempt(m_paths.socketPath, request, deadline)) {
            return *result;
        }
        QThread::msleep(100);
    }
}

CommandResult CommandLineClient::runLocally(const CommandSpec& spec,
    const CommandInvocation& invocation,
    std::function<CommandResult(const QStringList&)> askInstance) const
{
    LocalCommandContext context = m_localContext();
    context.instanceRunning = bool(askInstance);
    context.askInstance = std::move(askInstance);
    return spec.locally(invocation, context);
}

CommandLine::Classified CommandLine::classify(
    const QStringList& arguments, const CommandRegistry& registry)
{
    Classified result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QStringLiteral("--simulate") && result.tokens.isEmpty()) {
            result.simulated = true;
        } else {
            result.tokens.append(argument);
        }
    }
    if (result.tokens.isEmpty()) {
        result.mode = Mode::Start;
    } else {
        const QString& first = result.tokens.first();
        if (first == QStringLiteral("--help") || first == QStringLiteral("-h")) {
            result.mode = result.tokens.size() > 1 && registry.isCommandWord(result.tokens.at(1))
                ? Mode::Command
                : Mode::Help;
        } else if (first.startsWith(QStringLiteral("--"))) {
            // Not one of QApplication's options (those have one dash): a usage error, which
            // must not start or hand over to an instance first.
            result.mode = Mode::Command;
        } else if (first.startsWith(QLatin1Char('-'))) {
            result.mode = Mode::Start;
        } else {
            result.mode = Mode::Command;
        }
    }
    return result;
}
