#pragma once

// The sub-commands of `norvale`, declared once and used by both processes involved: the
// command-line client parses and routes them, and the running instance parses the same
// tokens again and runs its handler. One registry, built by registerApplicationCommands(),
// so the two sides can never disagree about the syntax.
//
// Adding a feature's sub-commands: write src/app/<Feature>Commands.cpp with a function
// `void register<Feature>Commands(CommandRegistry&)` that declares each command (words,
// options, positional arguments, help text, route) with its handlers (the instance's handler
// works on the models of AppCommandContext, never on the delegate), add a status line
// with addStatusLine() when the feature has a switch, and call the function from
// registerApplicationCommands() (ApplicationCommands.cpp). Nothing else needs to change: help,
// parsing, errors, the socket protocol and the routing below come with the declaration.
//
// Routes (where a handler runs):
// - Instance: in the running instance (the models live there); exit 3 when none runs.
// - InstancePreferred: in the running instance when there is one, else locally (for reading
//   files that the instance owns while it runs, such as the history file).
// - InstanceOrExclusive: in the running instance when there is one, else locally holding the
//   instance lock for the whole run, so that none can start half-way and later overwrite what
//   the command wrote (a phrase import).
// - Local: in the client process.
// - LocalWithoutInstance: in the client process, only while no instance runs, holding the
//   instance lock meanwhile so that none can start half-way; refused with exit 4 otherwise
//   (used for changing the defaults store, which a running instance would not notice).
//
// In the instance a handler answers through its CommandReply, at once or later (after a
// transfer, a placement pass or an update check): the instance goes on serving meanwhile, and
// the client waits up to the command's replyTimeoutMs for that one answer.
//
// Handlers never write to the terminal themselves: they answer with a CommandResult whose
// texts the client prints, so output is the same whichever process ran the handler.
//
// Syntax: `norvale [--simulate] <words...> [options] [arguments]`, options as `--name value`
// or `--name=value` anywhere after the words, `--` ends the options, `--help` anywhere shows
// the command's help. Exit codes: 0 success, 1 the command failed, 2 wrong usage, 3 no
// running instance, 4 refused because an instance runs.

#include "AppModels.h"
#include "platform/DefaultsStore.h"
#include "platform/FileLocations.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct AppCommandContext;

namespace CommandExit {
constexpr int success = 0;
constexpr int failure = 1;
constexpr int usage = 2;
constexpr int noInstance = 3;
constexpr int instanceRunning = 4;
} // namespace CommandExit

enum class CommandRoute
{
    Instance,
    InstancePreferred,
    InstanceOrExclusive,
    Local,
    LocalWithoutInstance
};

struct CommandOption
{
    QString name; // without the leading dashes
    QString valueName; // empty for a flag
    QStringList allowedValues; // empty: any value
    QString description;
};

struct CommandArgument
{
    QString name;
    QString description;
};

struct CommandInvocation
{
    QStringList words;
    QStringList arguments;
    QHash<QString, QString> options; // a flag maps to an empty string
    QString workingDirectory;

    bool hasOption(const QString& name) const { return options.contains(name); }
    QString option(const QString& name) const { return options.value(name); }
};

struct CommandResult
{
    int exitCode = CommandExit::success;
    QByteArray standardOutput;
    QByteArray standardError;
    // Runs in the instance once the reply has been handed to the client (quit, for example).
    std::function<void()> afterReply;
    // In the instance: builds the standard output off the main thread, in place of
    // standardOutput, for outputs that take long or much memory (a whole listing). It works on
    // data of its own (a snapshot: copying an implicitly shared list costs nothing), never on a
    // model. The instance builds only a few such outputs at once and holds the others back
    // until one has been sent, so that a crowd of clients neither fills the memory nor delays
    // the small commands.
    std::function<QByteArray()> buildOutput;

    static CommandResult output(const QString& text);
    static CommandResult outputBuiltLater(std::function<QByteArray()> build);
    static CommandResult failure(const QString& message, int exitCode = CommandExit::failure);
};

// The one answer to a request served by the instance. Copies share it: the first call answers,
// later ones are ignored. Once the client has gone (Ctrl+C, a dropped connection) the answer
// goes nowhere, but its afterReply still runs; a handler doing long work may ask isAwaited()
// to learn that nobody waits any more. Main thread only.
class CommandReply final
{
public:
    using Deliver = std::function<void(CommandResult)>;

    explicit CommandReply(Deliver deliver);

    void operator()(CommandResult result) const;
    // False once answered or once the client has gone.
    bool isAwaited() const;
    // The channel's side: the client has gone before the answer.
    void abandon() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// What a handler running in the client process may use. defaults and files are absent in the
// simulated world, whose settings and files live only inside its running instance.
struct LocalCommandContext
{
    DefaultsStore* defaults = nullptr;
    std::optional<FileLocations> files;
};

struct CommandSpec
{
    QStringList words; // {"history", "list"}
    QString summary;
    QList<CommandOption> options;
    QList<CommandArgument> arguments;
    CommandRoute route = CommandRoute::Instance;
    // How long the client waits for the instance's answer; the instance quitting or crashing
    // ends the wait at once.
    int replyTimeoutMs = 30000;
    std::function<void(const CommandInvocation&, const AppCommandContext&, const CommandReply&)>
        inInstance;
    std::function<CommandResult(const CommandInvocation&, LocalCommandContext&)> locally;

    QString synopsis() const;
};

class CommandRegistry final
{
public:
    CommandRegistry() = default;
    CommandRegistry(const CommandRegistry&) = delete;
    CommandRegistry& operator=(const CommandRegistry&) = delete;

    struct Parsed
    {
        const CommandSpec* spec = nullptr;
        CommandInvocation invocation;
        bool helpRequested = false;
    };

    // Declares a command; words must be new and a handler must exist for its route.
    void add(CommandSpec spec);
    // One line for `norvale status`: "<feature>\t<on|off>\t<status line>".
    void addStatusLine(std::function<QString(const AppModels&)> line);

    const QList<CommandSpec>& commands() const { return m_commands; }
    const CommandSpec* find(const QStringList& words) const;
    // True when token starts some command ("history").
    bool isCommandWord(const QString& token) const;

    // Parses the tokens after the program name and the global options. On a usage error
    // returns nothing and sets *error to the message (help for a bare group included).
    std::optional<Parsed> parse(const QStringList& tokens, QString* error) const;

    // The instance's side: parses the tokens a client sent and runs the command's handler,
    // which answers through reply.
    void runInInstance(const QStringList& tokens, const QString& workingDirectory,
        const AppCommandContext& context, const CommandReply& reply) const;

    QString help() const;
    QString help(const CommandSpec& spec) const;
    QStringList statusLines(const AppModels& models) const;

private:
    QList<CommandSpec> m_commands;
    QList<std::function<QString(const AppModels&)>> m_statusLines;
};

// Every sub-command of the application (ApplicationCommands.cpp).
void registerApplicationCommands(CommandRegistry& registry);
