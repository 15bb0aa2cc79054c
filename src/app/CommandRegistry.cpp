#include "CommandRegistry.h"

#include "AppCommandContext.h"

#include <algorithm>
#include <utility>

struct CommandReply::State
{
    Deliver deliver;
    bool answered = false;
    bool abandoned = false;
};

CommandReply::CommandReply(Deliver deliver)
    : m_state(std::make_shared<State>())
{
    m_state->deliver = std::move(deliver);
}

void CommandReply::operator()(CommandResult result) const
{
    if (m_state->answered) {
        return;
    }
    m_state->answered = true;
    // Released with the answer: it holds the connection's side, which must not outlive it.
    const Deliver deliver = std::exchange(m_state->deliver, nullptr);
    deliver(std::move(result));
}

bool CommandReply::isAwaited() const
{
    return !m_state->answered && !m_state->abandoned;
}

void CommandReply::abandon() const
{
    m_state->abandoned = true;
}

CommandResult CommandResult::output(const QString& text)
{
    CommandResult result;
    result.standardOutput = text.toUtf8();
    return result;
}

CommandResult CommandResult::outputBuiltLater(std::function<QByteArray()> build)
{
    CommandResult result;
    result.buildOutput = std::move(build);
    return result;
}

CommandResult CommandResult::failure(const QString& message, int exitCode)
{
    CommandResult result;
    result.exitCode = exitCode;
    result.standardError = message.toUtf8();
    if (!result.standardError.endsWith('\n')) {
        result.standardError.append('\n');
    }
    return result;
}

QString CommandSpec::synopsis() const
{
    QString text = QStringLiteral("norvale ") + words.join(QLatin1Char(' '));
    for (const CommandArgument& argument : arguments) {
        text += QStringLiteral(" <") + argument.name + QLatin1Char('>');
    }
    for (const CommandOption& option : options) {
        text += QStringLiteral(" [--") + option.name;
        if (!option.valueName.isEmpty()) {
            text += QLatin1Char(' ') +
                (option.allowedValues.isEmpty() ? option.valueName
                                                : option.allowedValues.join(QLatin1Char('|')));
        }
        text += QLatin1Char(']');
    }
    return text;
}

void CommandRegistry::add(CommandSpec spec)
{
    Q_ASSERT(!spec.words.isEmpty());
    Q_ASSERT(find(spec.words) == nullptr);
    Q_ASSERT(spec.route == CommandRoute::Local || spec.route == CommandRoute::LocalWithoutInstance
            ? bool(spec.locally)
            : bool(spec.inInstance));
    Q_ASSERT(spec.route == CommandRoute::Instance || bool(spec.locally));
    m_commands.append(std::move(spec));
}

void CommandRegistry::addStatusLine(std::function<QString(const AppModels&)> line)
{
    m_statusLines.append(std::move(line));
}

const CommandSpec* CommandRegistry::find(const QStringList& words) const
{
    for (const CommandSpec& spec : m_commands) {
        if (spec.words == words) {
            return &spec;
        }
    }
    return nullptr;
}

bool CommandRegistry::isCommandWord(const QString& token) const
{
    for (const CommandSpec& spec : m_commands) {
        if (spec.words.first() == token) {
            return true;
        }
    }
    return false;
}

namespace {

bool isHelpToken(const QString& token)
{
    return token == QStringLiteral("--help") || token == QStringLiteral("-h");
}

// "-3" and "-0.5" are values (config set), not options.
bool looksLikeOption(const QString& token)
{
    if (token.size() < 2 || !token.startsWith(QLatin1Char('-'))) {
        return false;
    }
    const QChar second = token.at(1);
    return !(second.isDigit() || second == QLatin1Char('.'));
}

} // namespace

std::optional<CommandRegistry::Parsed> CommandRegistry::parse(
    const QStringList& tokens, QString* error) const
{
    Parsed parsed;
    qsizetype index = 0;
    while (index < tokens.size() && isHelpToken(tokens.at(index))) {
        parsed.helpRequested = true;
        ++index;
    }

    // The words: the longest declared command spelled by the leading tokens.
    QStringList leading;
    for (qsizetype i = index; i < tokens.size() && !looksLikeOption(tokens.at(i)); ++i) {
        leading.append(tokens.at(i));
    }
    const CommandSpec* spec = nullptr;
    for (const CommandSpec& candidate : m_commands) {
        if (leading.mid(0, candidate.words.size()) == candidate.words &&
            (spec == nullptr || candidate.words.size() > spec->words.size())) {
            spec = &candidate;
        }
    }
    if (spec == nullptr) {
        if (leading.isEmpty()) {
            *error = index < tokens.size()
                ? QStringLiteral("unknown option '%1'").arg(tokens.at(index))
                : QStringLiteral("no command given");
            return std::nullopt;
        }
        QStringList group;
        for (const CommandSpec& candidate : m_commands) {
            if (candidate.words.size() > 1 && candidate.words.first() == leading.first()) {
                group.append(candidate.words.at(1));
            }
        }
        if (group.isEmpty()) {
            *error = QStringLiteral("unknown command '%1'").arg(leading.first());
        } else if (leading.size() == 1) {
            *error = QStringLiteral("'%1' needs a sub-command: %2")
                         .arg(leading.first(), group.join(QStringLiteral(", ")));
        } else {
            *error = QStringLiteral("unknown sub-command '%1 %2' (expected one of: %3)")
                         .arg(leading.at(0), leading.at(1), group.join(QStringLiteral(", ")));
        }
        return std::nullopt;
    }
    parsed.spec = spec;
    parsed.invocation.words = spec->words;
    index += spec->words.size();

    bool optionsEnded = false;
    QStringList arguments;
    for (; index < tokens.size(); ++index) {
        const QString& token = tokens.at(index);
        if (optionsEnded || !looksLikeOption(token)) {
            arguments.append(token);
            continue;
        }
        if (token == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (isHelpToken(token)) {
            parsed.helpRequested = true;
            continue;
        }
        if (!token.startsWith(QStringLiteral("--"))) {
            *error = QStringLiteral("unknown option '%1'").arg(token);
            return std::nullopt;
        }
        const qsizetype equals = token.indexOf(QLatin1Char('='));
        const QString name = equals > 0 ? token.mid(2, equals - 2) : token.mid(2);
        const auto declared = std::find_if(spec->options.cbegin(), spec->options.cend(),
            [&name](const CommandOption& option) { return option.name == name; });
        if (declared == spec->options.cend()) {
            *error = QStringLiteral("unknown option '--%1' for '%2'")
                         .arg(name, spec->words.join(QLatin1Char(' ')));
            return std::nullopt;
        }
        if (parsed.invocation.options.contains(name)) {
            *error = QStringLiteral("option '--%1' given twice").arg(name);
            return std::nullopt;
        }
        QString value;
        if (declared->valueName.isEmpty()) {
            if (equals > 0) {
                *error = QStringLiteral("option '--%1' takes no value").arg(name);
                return std::nullopt;
            }
        } else if (equals > 0) {
            value = token.mid(equals + 1);
        } else if (index + 1 < tokens.size() && !looksLikeOption(tokens.at(index + 1))) {
            value = tokens.at(++index);
        } else {
            *error =
                QStringLiteral("option '--%1' needs a value (%2)").arg(name, declared->valueName);
            return std::nullopt;
        }
        if (!declared->allowedValues.isEmpty() && !declared->allowedValues.contains(value)) {
            *error = QStringLiteral("option '--%1' must be one of %2, not '%3'")
                         .arg(name, declared->allowedValues.join(QLatin1Char('|')), value);
            return std::nullopt;
        }
        parsed.invocation.options.insert(name, value);
    }
    if (parsed.helpRequested) {
        return parsed;
    }

    if (arguments.size() != spec->arguments.size()) {
        *error = arguments.size() < spec->arguments.size()
            ? QStringLiteral("missing <%1>").arg(spec->arguments.at(arguments.size()).name)
            : QStringLiteral("unexpected argument '%1'").arg(arguments.at(spec->arguments.size()));
        *error += QStringLiteral("\nusage: ") + spec->synopsis();
        return std::nullopt;
    }
    parsed.invocation.arguments = arguments;
    return parsed;
}

QString CommandRegistry::help() const
{
    QString text = QStringLiteral(
        "Norvale: clipboard history and more, in the system tray.\n"
        "\n"
        "usage: norvale [--simulate]             start Norvale (or hand over to the running one,\n"
        "                                        which then opens its settings window)\n"
        "       norvale [--simulate] <command>   talk to the running Norvale or its files\n"
        "\n"
        "Commands:\n");
    for (const CommandSpec& spec : m_commands) {
        text += QStringLiteral("  ") + spec.synopsis() + QLatin1Char('\n');
        text += QStringLiteral("      ") + spec.summary + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\n"
        "Options:\n"
        "  --simulate   use the simulated world instead of the desktop (also "
        "NORVALE_PLATFORM=sim)\n"
        "  --help, -h   show this help, or a command's help after the command\n"
        "\n"
        "Exit status: 0 success, 1 the command failed, 2 wrong usage, 3 Norvale is not running,\n"
        "4 refused because Norvale is running.\n");
    return text;
}

QString CommandRegistry::help(const CommandSpec& spec) const
{
    QString text = QStringLiteral("usage: ") + spec.synopsis() + QStringLiteral("\n\n") +
        spec.summary + QLatin1Char('\n');
    if (!spec.arguments.isEmpty() || !spec.options.isEmpty()) {
        text += QLatin1Char('\n');
    }
    for (const CommandArgument& argument : spec.arguments) {
        text += QStringLiteral("  <%1>  %2\n").arg(argument.name, argument.description);
    }
    for (const CommandOption& option : spec.options) {
        text += QStringLiteral("  --%1  %2\n").arg(option.name, option.description);
    }
    switch (spec.route) {
    case CommandRoute::Instance:
        text += QStringLiteral("\nNeeds the running Norvale.\n");
        break;
    case CommandRoute::InstancePreferred:
        text += QStringLiteral(
            "\nAsks the running Norvale, or reads its files when it is not running.\n");
        break;
    case CommandRoute::LocalWithoutInstance:
        text += QStringLiteral("\nOnly while Norvale is not running.\n");
        break;
    case CommandRoute::InstanceOrExclusive:
    case CommandRoute::Local:
        break;
    }
    return text;
}

void CommandRegistry::runInInstance(const QStringList& tokens, const QString& workingDirectory,
    const AppCommandContext& context, const CommandReply& reply) const
{
    QString error;
    const auto parsed = parse(tokens, &error);
    if (!parsed) {
        return reply(CommandResult::failure(
            QStringLiteral("norvale: %1\nTry 'norvale --help'.").arg(error), CommandExit::usage));
    }
    if (parsed->helpRequested) {
        return reply(CommandResult::output(help(*parsed->spec)));
    }
    if (!parsed->spec->inInstance) {
        return reply(CommandResult::failure(
            QStringLiteral("norvale: '%1' does not run in the running instance")
                .arg(parsed->spec->words.join(QLatin1Char(' '))),
            CommandExit::usage));
    }
    CommandInvocation invocation = parsed->invocation;
    invocation.workingDirectory = workingDirectory;
    parsed->spec->inInstance(invocation, context, reply);
}

QStringList CommandRegistry::statusLines(const AppModels& models) const
{
    QStringList lines;
    for (const auto& line : m_statusLines) {
        lines.append(line(models));
    }
    return lines;
}
