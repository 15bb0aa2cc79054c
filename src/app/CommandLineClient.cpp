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
        case CommandRoute::InstanceOrExclusive:
        case CommandRoute::LocalWithoutInstance:
        case CommandRoute::Local:
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
        return sendToInstance(InstanceRequest {tokens, workingDirectory}, spec.replyTimeoutMs);
    }
    return CommandResult::failure(QStringLiteral("norvale: internal error"));
}

CommandResult CommandLineClient::sendToInstance(
    const InstanceRequest& request, int replyTimeoutMs) const
{
    // The instance holds its lock from the start but listens only once its models are up.
    const QDeadlineTimer deadline(m_startupWaitMs);
    for (;;) {
        CommandResult reply;
        QString error;
        switch (InstanceClient::send(m_paths.socketPath, request, &reply, &error, replyTimeoutMs)) {
        case InstanceClient::Outcome::Replied:
            return reply;
        case InstanceClient::Outcome::Failed:
            return CommandResult::failure(QStringLiteral("norvale: ") + error);
        case InstanceClient::Outcome::NotListening:
            break;
        }
        if (deadline.hasExpired()) {
            return CommandResult::failure(
                QStringLiteral("norvale: Norvale is running but does not answer on %1")
                    .arg(m_paths.socketPath));
        }
        QThread::msleep(100);
    }
}

CommandResult CommandLineClient::runLocally(
    const CommandSpec& spec, const CommandInvocation& invocation) const
{
    LocalCommandContext context = m_localContext();
    return spec.locally(invocation, context);
}

CommandLine::Classified CommandLine::classify(
    const QStringList& arguments, const CommandRegistry& registry)
{
    Classified result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        // The platform is chosen from the whole command line (choosePlatformKind).
        if (argument != QStringLiteral("--simulate") || !result.tokens.isEmpty()) {
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
