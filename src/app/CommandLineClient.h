#pragma once

// `norvale <command>` in the command-line process: parses the tokens with the shared
// registry and runs the command where its route says (CommandRegistry.h), handing it to the
// running instance over its socket when needed. Needs no display: it runs under a
// QCoreApplication.
//
// "An instance runs" means the instance lock is held by a live process. One that holds the
// lock but does not answer yet (still starting) is given a few seconds.

#include "CommandRegistry.h"
#include "InstanceChannel.h"

#include <QStringList>

#include <functional>

class CommandLineClient final
{
public:
    using LocalContextFactory = std::function<LocalCommandContext()>;

    CommandLineClient(const CommandRegistry& registry, InstancePaths paths,
        LocalContextFactory localContext, int startupWaitMs = 5000);

    // tokens: the arguments after the program name and the global options.
    CommandResult run(const QStringList& tokens, const QString& workingDirectory) const;

private:
    CommandResult sendToInstance(const InstanceRequest& request, int replyTimeoutMs) const;
    CommandResult runLocally(const CommandSpec& spec, const CommandInvocation& invocation) const;

    const CommandRegistry& m_registry;
    InstancePaths m_paths;
    LocalContextFactory m_localContext;
    int m_startupWaitMs;
};

namespace CommandLine {

enum class Mode
{
    Start,
    Command,
    Help
};

struct Classified
{
    Mode mode = Mode::Start;
    QStringList tokens; // without the program name and a leading --simulate
};

// Decides from argv (program name included) whether this process starts the application or
// runs a sub-command. Single-dash options are left for QApplication (-platform, -display) and
// checked after it has taken its own; an unknown double-dash option is a usage error.
Classified classify(const QStringList& arguments, const CommandRegistry& registry);

} // namespace CommandLine
