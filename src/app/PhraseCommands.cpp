// phrases list, status, copy, export and import.
//
// The work is the phrase feature's (phrases/FixedPhraseCommands.h); this file declares the
// commands and routes them. export and import run in the running instance, whose model owns
// the store, and answer when the transfer has ended, with its final status line. Without an
// instance the client takes the instance lock (so that none can start half-way and later
// overwrite the imported store with the one it loaded) and runs the model flow itself.
//
// copy runs in the instance only: the clipboard's owner has to outlive the command. It copies
// as the quick panel does (FixedPhraseClipboard) but never pastes: a desktop shortcut that runs
// it leaves the phrase on the clipboard for the user to paste where they choose.
//
// A client that stops waiting (Ctrl+C) does not stop a transfer the instance has started: it
// runs to its end and the status line tells how it went, because an import cut short after
// its write would leave the file and the list in memory apart. The model frees its transfer
// slot when the transfer ends, whoever waits for it.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "panel/FixedPhraseClipboard.h"
#include "phrases/FixedPhraseCommands.h"
#include "phrases/FixedPhraseModel.h"

#include <QDir>

namespace {

using FixedPhraseCommands::Transfer;

// Time for a 50 MiB file on a slow, busy machine; the instance quitting ends the wait sooner.
constexpr int transferReplyTimeoutMs = 10 * 60 * 1000;

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

void transferInInstance(Transfer transfer, const CommandInvocation& invocation,
    const AppCommandContext& context, const CommandReply& reply)
{
    FixedPhraseModel& model = context.models.fixedPhrases;
    const bool wait = !invocation.hasOption(QStringLiteral("no-wait"));
    const bool started = FixedPhraseCommands::start(model, transfer, absolutePath(invocation),
        [reply, wait](const FixedPhraseCommands::Outcome& outcome) {
            if (wait) {
                reply(transferResult(outcome));
            }
        });
    if (!started) {
        return reply(CommandResult::failure(QStringLiteral(
            "norvale: a phrase import or export is already running; the request was ignored")));
    }
    if (!wait) {
        reply(CommandResult::output(model.statusMessage().value_or(QString()) + QLatin1Char('\n')));
    }
}

CommandResult transferLocally(
    Transfer transfer, const CommandInvocation& invocation, LocalCommandContext& context)
{
    if (!context.files) {
        // The simulated world has no files: its phrases live in its instance only.
        return CommandResult::failure(
            QStringLiteral("norvale: Norvale is not running (start it with 'norvale')"),
            CommandExit::noInstance);
    }
    return transferResult(
        FixedPhraseCommands::runStandalone(*context.files, transfer, absolutePath(invocation)));
}

CommandSpec transferSpec(Transfer transfer)
{
    const bool isExport = transfer == Transfer::ExportCSV;
    CommandSpec spec;
    spec.words = QStringList {
        QStringLiteral("phrases"), isExport ? QStringLiteral("export") : QStringLiteral("import")};
    spec.summary = isExport
        ? QStringLiteral("Write every folder and phrase to <file.csv> (UTF-8 with a byte order "
                         "mark) and print the final status line.")
        : QStringLiteral("Replace all folders and phrases with those of <file.csv> (at most 50 "
                         "MiB, UTF-8) and print the final status line. The previous store is "
                         "kept as FixedPhrases.json.before-import.");
    spec.options = {{QStringLiteral("no-wait"), QString(), {},
        QStringLiteral("with Norvale running, only start the transfer there and print the "
                       "status line it starts with")}};
    spec.arguments = {{QStringLiteral("file.csv"),
        isExport ? QStringLiteral("the CSV file to write")
                 : QStringLiteral("the CSV file to read")}};
    spec.route = CommandRoute::InstanceOrExclusive;
    spec.replyTimeoutMs = transferReplyTimeoutMs;
    spec.inInstance = [transfer](const CommandInvocation& invocation,
                          const AppCommandContext& context, const CommandReply& reply) {
        transferInInstance(transfer, invocation, context, reply);
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
    list.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        CommandResult result;
        result.standardOutput = FixedPhraseCommands::formatList(
            context.models.fixedPhrases.folders(), invocation.hasOption(QStringLiteral("json")));
        reply(result);
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

    CommandSpec status;
    status.words = QStringList {QStringLiteral("phrases"), QStringLiteral("status")};
    status.summary = QStringLiteral(
        "Print whether an import or export runs (running or idle) and the phrase status line.");
    status.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                            const CommandReply& reply) {
        const FixedPhraseModel& model = context.models.fixedPhrases;
        reply(CommandResult::output(
            QStringLiteral("%1\t%2\n")
                .arg(model.isFileTransferInProgress() ? QStringLiteral("running")
                                                      : QStringLiteral("idle"),
                    model.statusMessage().value_or(QString()))));
    };
    registry.add(std::move(status));

    CommandSpec copy;
    copy.words = QStringList {QStringLiteral("phrases"), QStringLiteral("copy")};
    copy.summary = QStringLiteral(
        "Copy a phrase to the clipboard as the quick panel does, without pasting, and print the "
        "status line. Titles compare exactly; hidden folders and phrases count.");
    copy.arguments = {{QStringLiteral("folder title"), QStringLiteral("the folder's title")},
        {QStringLiteral("phrase title"), QStringLiteral("the phrase's title in that folder")}};
    copy.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        FixedPhraseModel& phrases = context.models.fixedPhrases;
        QString error;
        const std::optional<FixedPhrase> phrase = FixedPhraseCommands::findForCopy(
            phrases.folders(), invocation.arguments.at(0), invocation.arguments.at(1), &error);
        if (!phrase) {
            return reply(CommandResult::failure(error));
        }
        FixedPhraseClipboard::copy(context.models.clipboardHistory, phrases, *phrase);
        reply(
            CommandResult::output(phrases.statusMessage().value_or(QString()) + QLatin1Char('\n')));
    };
    registry.add(std::move(copy));

    registry.add(transferSpec(Transfer::ExportCSV));
    registry.add(transferSpec(Transfer::ImportCSV));
}
