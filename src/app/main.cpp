// Norvale's entry point: a tray application without a main window, or, with a sub-command,
// a command-line client of the running instance (CommandRegistry.h lists the commands).
//
// A start without a command becomes the one instance of this user, or hands over to the
// running one (which then opens its settings window, the visible answer to launching an
// application that already runs) and exits.

#include "AppDelegate.h"
#include "AppPlatform.h"
#include "CommandLineClient.h"
#include "InstanceChannel.h"
#include "QtTranslations.h"
#include "SimulatedWorld.h"
#include "TerminationSignals.h"
#include "platform/linux/LinuxDefaultsStore.h"
#include "support/ProcessHeap.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>

#include <cstdio>
#include <memory>

namespace {

void write(std::FILE* stream, const QByteArray& bytes)
{
    if (!bytes.isEmpty()) {
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
        std::fflush(stream);
    }
}

int finish(const CommandResult& result)
{
    write(stdout, result.standardOutput);
    write(stderr, result.standardError);
    return result.exitCode;
}

int fail(const QString& message, int exitCode = CommandExit::failure)
{
    return finish(CommandResult::failure(QStringLiteral("norvale: ") + message, exitCode));
}

void setApplicationNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Norvale"));
    QCoreApplication::setOrganizationName(QStringLiteral("Norvale"));
}

int runCommand(int argc, char** argv, const CommandRegistry& registry,
    const CommandLine::Classified& classified, PlatformKind kind)
{
    QCoreApplication application(argc, argv);
    setApplicationNames();
    QString error;
    const auto paths = InstancePaths::prepare(kind == PlatformKind::Simulated, &error);
    if (!paths) {
        return fail(error);
    }
    std::unique_ptr<DefaultsStore> store;
    CommandLineClient client(registry, *paths, [kind, &store] {
        LocalCommandContext context;
        if (kind == PlatformKind::Linux) {
            store = std::make_unique<LinuxDefaultsStore>();
            context.defaults = store.get();
            context.files.emplace(FileLocations::standard());
        }
        return context;
    });
    return finish(client.run(classified.tokens, QDir::currentPath()));
}

int runApplication(int argc, char** argv, const CommandRegistry& registry, PlatformKind kind)
{
    // Before any thread exists, so that every thread inherits the dispositions and a signal
    // during start-up waits in the pipe for the event loop, and allocates from the one heap.
    TerminationSignals::install();
    ProcessHeap::configure();

    QString error;
    const auto paths = InstancePaths::prepare(kind == PlatformKind::Simulated, &error);
    if (!paths) {
        return fail(error);
    }
    InstanceGuard guard(*paths);
    {
        // The hand-over needs no display: a second start from a shell without one still works.
        QCoreApplication probe(argc, argv);
        CommandResult reply;
        const InstanceRequest request {
            QStringList {QStringLiteral("settings")}, QDir::currentPath()};
        switch (guard.becomePrimaryOrHandOver(request, &reply, &error)) {
        case InstanceGuard::StartResult::Primary:
            break;
        case InstanceGuard::StartResult::HandedOver:
            return finish(reply);
        case InstanceGuard::StartResult::Failed:
            return fail(error);
        }
    }

    QApplication application(argc, argv);
    setApplicationNames();
    // Lets the desktop match our windows and tray icon to the installed launcher entry.
    QGuiApplication::setDesktopFileName(AppPlatform::applicationIdentifier);
    QApplication::setQuitOnLastWindowClosed(false);
    QtTranslations::install(application);

    // QApplication has taken its own options (-platform, -display, ...); nothing else is known.
    const QStringList remaining = QApplication::arguments().mid(1);
    for (const QString& argument : remaining) {
        if (argument != QStringLiteral("--simulate")) {
            return fail(QStringLiteral("unknown option '%1'\nTry 'norvale --help'.").arg(argument),
                CommandExit::usage);
        }
    }

    AppPlatform platform = AppPlatform::create(kind);
    AppDelegate delegate(platform);
    const AppCommandContext commandContext = delegate.commandContext();
    InstanceServer server(
        [&registry, &commandContext](const InstanceRequest& request, const CommandReply& reply) {
            registry.runInInstance(
                request.arguments, request.workingDirectory, commandContext, reply);
        },
        *platform.executor);
    switch (server.listen(paths->socketPath, &error)) {
    case InstanceServer::ListenResult::Listening:
        break;
    case InstanceServer::ListenResult::AnotherServerAnswers:
        // Someone serves without holding the lock (its lock file was deleted): two
        // instances would record every copy twice.
        return fail(error);
    case InstanceServer::ListenResult::Failed:
        // The tray still works; only `norvale <command>` cannot reach this instance.
        write(stderr, (QStringLiteral("norvale: ") + error + QLatin1Char('\n')).toUtf8());
        break;
    }

    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &delegate,
        [&delegate](int) { delegate.terminate(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &delegate,
        [&delegate](QSessionManager&) { delegate.prepareForSessionEnd(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate, [&delegate, &server] {
        // No new requests once the sequence has begun.
        server.close();
        delegate.applicationWillTerminate();
    });

    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const PlatformKind kind = choosePlatformKind(arguments, qgetenv("NORVALE_PLATFORM"));
    CommandRegistry registry;
    registerApplicationCommands(registry);
    if (kind == PlatformKind::Simulated) {
        SimulatedWorld::registerCommands(registry);
    }
    const CommandLine::Classified classified = CommandLine::classify(arguments, registry);

    switch (classified.mode) {
    case CommandLine::Mode::Help:
        return finish(CommandResult::output(registry.help()));
    case CommandLine::Mode::Command:
        return runCommand(argc, argv, registry, classified, kind);
    case CommandLine::Mode::Start:
        break;
    }
    return runApplication(argc, argv, registry, kind);
}
