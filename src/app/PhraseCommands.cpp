// phrases list, export and import.
//
// The work is the phrase feature's (phrases/FixedPhraseCommands.h); this file only declares
// the commands and routes them. With an instance running, a transfer runs there and the
// reply is the final status line once the transfer has ended. With none, the client runs the
// same model flow itself while holding the instance lock, so that no instance can start
// half-way and later overwrite the imported store with the one it loaded.

#include "AppDelegate.h"
#include "ApplicationCommands.h"
#include "InstanceChannel.h"
#include "phrases/FixedPhraseCommands.h"
#include "phrases/FixedPhraseModel.h"

#include <QDir>

namespace {

using FixedPhraseCommands::Transfer;

QString absolutePath(const CommandInvocation& invocation)
{
    return QDir::cleanPath(
        QDir(invocation.workingDirectory).absoluteFilePath(invocation.arguments.first()));
}

CommandResult transferResult(const FixedPhraseCommands::Outcome& outcome)
{
    if (outcome.succeeded) {
        return CommandResult::output(outcome.statusLine + QLatin1Char('\n'));
    }
    return CommandResult::failure(outcome.statusLine);
}

CommandResult transferInInstance(
    Transfer transfer, const CommandInvocation& invocation, AppDelegate& app)
{
    // The instance's handlers answer synchronously, so the request waits here, in a local
    // event loop, while the transfer runs off the main thread.
    return transferResult(
        FixedPhraseCommands::runAndWait(app.fixedPhrases(), transfer, absolutePath(invocation)));
}

CommandResult transferLocally(
    Transfer transfer, const CommandInvocation& invocation, LocalCommandContext& context)
{
    if (!context.files) {
        return CommandResult::failure(QStringLiteral(
            "norvale: the simulated world keeps its phrases in the running instance only"));
    }
    // The client let the lock go before calling us: take it again, or hand the request to an
    // instance that started in between.
    QString error;
    const std::optional<InstancePaths> paths = InstancePaths::prepare(false, &error);
    if (!paths) {
        return CommandResult::failure(QStringLiteral("norvale: ") + error);
    }
    InstanceGuard guard(*paths);
    QStringList tokens = invocation.words;
    tokens.append(absolutePath(invocation));
    CommandResult reply;
    switch (guard.becomePrimaryOrHandOver(
        InstanceRequest {tokens, invocation.workingDirectory}, &reply, &error)) {
    case InstanceGuard::StartResult::Primary:
        return transferResult(
            FixedPhraseCommands::runStandalone(*context.files, transfer, absolutePath(invocation)));
    case InstanceGuard::StartResult::HandedOver:
        return reply;
    case InstanceGuard::StartResult::Failed:
        break;
    }
    return CommandResult::failure(QStringLiteral("norvale: ") + error);
}

CommandSpec transferSpec(Transfer transfer)
{
    const bool isExport = transfer == Transfer::exportCSV;
    CommandSpec spec;
    spec.words = QStringList {
        QStringLiteral("phrases"), isExport ? QStringLiteral("export") : QStringLiteral("import")};
    spec.summary = isExport
        ? QStringLiteral("Write every folder and phrase to <file.csv> (UTF-8 with a byte order "
                         "mark) and print the final status line.")
        : QStringLiteral("Replace all folders and phrases with those of <file.csv> (at most 50 "
                         "MiB, UTF-8) and print the final status line. The previous store is "
                         "kept as FixedPhrases.json.before-import.");
    spec.arguments = {{QStringLiteral("file.csv"),
        isExport ? QStringLiteral("the CSV file to write")
                 : QStringLiteral("the CSV file to read")}};
    spec.route = CommandRoute::InstancePreferred;
    spec.inInstance = [transfer](const CommandInvocation& invocation, AppDelegate& app) {
        return transferInInstance(transfer, invocation, app);
    };
    spec.locally = [transfer](const CommandInvocation& invocation, LocalCommandContext& context) {
        return transferLocally(transfer, invocation, context);
    };
    return spec;
}

} // namespace

void registerPhraseCommands(CommandRegistry& registry)
{
    CommandSpec list;
    list.words = QStringList {QStringLiteral("phrases"), QStringLiteral("list")};
    list.summary = QStringLiteral("List the fixed phrases: each folder with its phrases, hidden "
                                  "ones marked [非表示].");
    list.options = {{QStringLiteral("json"), QString(), {},
        QStringLiteral("print the store as FixedPhrases.json holds it")}};
    list.route = CommandRoute::InstancePreferred;
    list.inInstance = [](const CommandInvocation& invocation, AppDelegate& app) {
        CommandResult result;
        result.standardOutput = FixedPhraseCommands::formatList(
            app.fixedPhrases().folders(), invocation.hasOption(QStringLiteral("json")));
        return result;
    };
    list.locally = [](const CommandInvocation& invocation, LocalCommandContext& context) {
        FixedPhraseFolderList folders;
        if (context.files) {
            QString error;
            std::optional<FixedPhraseFolderList> stored =
                FixedPhraseCommands::readStore(*context.files, &error);
            if (!stored) {
                return CommandResult::failure(QStringLiteral("norvale: ") + error);
            }
            folders = std::move(*stored);
        }
        CommandResult result;
        result.standardOutput =
            FixedPhraseCommands::formatList(folders, invocation.hasOption(QStringLiteral("json")));
        return result;
    };
    registry.add(std::move(list));
    registry.add(transferSpec(Transfer::exportCSV));
    registry.add(transferSpec(Transfer::importCSV));
}
