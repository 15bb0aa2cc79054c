// phrases list, status, export and import.
//
// The work is the phrase feature's (phrases/FixedPhraseCommands.h); this file declares the
// commands and routes them. export and import run in the client process, which decides:
// - no instance: it takes the instance lock (so that none can start half-way and later
//   overwrite the imported store with the one it loaded) and runs the model flow itself;
// - an instance: it asks the instance to start the transfer, which answers at once with the
//   transfer's number, then asks for that transfer's outcome until there is one and prints
//   its final status line. No request keeps the instance waiting: its handlers answer
//   synchronously, and waiting inside one would mean a nested event loop in which the
//   request's own socket can be deleted.

#include "AppDelegate.h"
#include "ApplicationCommands.h"
#include "InstanceChannel.h"
#include "phrases/FixedPhraseCommands.h"
#include "phrases/FixedPhraseModel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace {

using FixedPhraseCommands::Transfer;

constexpr int pollIntervalMs = 100;
constexpr int instanceStartupWaitMs = 5000;

const QString ignoredMessage = QStringLiteral(
    "norvale: a phrase import or export is already running; the request was ignored");

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

// Asks the instance for the outcome of transfer number until it has ended.
CommandResult waitForOutcome(const InstancePaths& paths, qint64 number, const QString& directory)
{
    const InstanceRequest request {{QStringLiteral("phrases"), QStringLiteral("status"),
                                       QStringLiteral("--transfer"), QString::number(number)},
        directory};
    for (;;) {
        CommandResult reply;
        QString error;
        if (InstanceClient::send(paths.socketPath, request, &reply, &error) !=
            InstanceClient::Outcome::Replied) {
            return CommandResult::failure(
                QStringLiteral("norvale: Norvale quit before the phrase transfer ended"));
        }
        if (reply.exitCode != CommandExit::success) {
            return reply;
        }
        const QString text = QString::fromUtf8(reply.standardOutput)
                                 .chopped(reply.standardOutput.endsWith('\n') ? 1 : 0);
        const QString state = text.section(QLatin1Char('\t'), 0, 0);
        const QString line = text.section(QLatin1Char('\t'), 1);
        if (state == QStringLiteral("succeeded")) {
            return CommandResult::output(line + QLatin1Char('\n'));
        }
        if (state == QStringLiteral("failed")) {
            return CommandResult::failure(line);
        }
        QThread::msleep(pollIntervalMs);
    }
}

CommandResult transferLocally(
    Transfer transfer, const CommandInvocation& invocation, LocalCommandContext& context)
{
    // The simulated world has no files: its phrases live in its instance only.
    const bool simulated = !context.files;
    QString error;
    const std::optional<InstancePaths> paths = InstancePaths::prepare(simulated, &error);
    if (!paths) {
        return CommandResult::failure(QStringLiteral("norvale: ") + error);
    }
    const QString path = absolutePath(invocation);
    const bool wait = !invocation.hasOption(QStringLiteral("no-wait"));
    InstanceGuard guard(*paths);
    QDeadlineTimer deadline(instanceStartupWaitMs);
    for (;;) {
        switch (guard.tryLock(&error)) {
        case InstanceGuard::LockState::Failed:
            return CommandResult::failure(QStringLiteral("norvale: ") + error);
        case InstanceGuard::LockState::Acquired:
            if (simulated) {
                return CommandResult::failure(
                    QStringLiteral("norvale: Norvale is not running (start it with 'norvale')"),
                    CommandExit::noInstance);
            }
            return transferResult(
                FixedPhraseCommands::runStandalone(*context.files, transfer, path));
        case InstanceGuard::LockState::HeldElsewhere:
            break;
        }
        QStringList tokens = invocation.words;
        tokens.append(path);
        std::optional<CommandResult> reply = InstanceClient::attempt(
            paths->socketPath, InstanceRequest {tokens, invocation.workingDirectory}, deadline);
        if (reply) {
            // With --no-wait the reply is the transfer's number, for `phrases status`.
            if (reply->exitCode != CommandExit::success || !wait) {
                return *reply;
            }
            return waitForOutcome(
                *paths, reply->standardOutput.trimmed().toLongLong(), invocation.workingDirectory);
        }
        QThread::msleep(pollIntervalMs);
    }
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
    spec.options = {{QStringLiteral("no-wait"), QString(), {},
        QStringLiteral("with Norvale running, only start the transfer there")}};
    spec.arguments = {{QStringLiteral("file.csv"),
        isExport ? QStringLiteral("the CSV file to write")
                 : QStringLiteral("the CSV file to read")}};
    // Decided in the client (see the top of this file); the instance's part starts the
    // transfer and answers with its number.
    spec.route = CommandRoute::Local;
    spec.locally = [transfer](const CommandInvocation& invocation, LocalCommandContext& context) {
        return transferLocally(transfer, invocation, context);
    };
    spec.inInstance = [transfer](const CommandInvocation& invocation, AppDelegate& app) {
        const std::optional<qint64> number = FixedPhraseTransferLog::of(app.fixedPhrases())
                                                 .start(transfer, absolutePath(invocation));
        if (!number) {
            return CommandResult::failure(ignoredMessage);
        }
        return CommandResult::output(QString::number(*number) + QLatin1Char('\n'));
    };
    return spec;
}

CommandResult statusInInstance(const CommandInvocation& invocation, AppDelegate& app)
{
    FixedPhraseModel& model = app.fixedPhrases();
    if (!invocation.hasOption(QStringLiteral("transfer"))) {
        return CommandResult::output(
            QStringLiteral("%1\t%2\n")
                .arg(model.isFileTransferInProgress() ? QStringLiteral("running")
                                                      : QStringLiteral("idle"),
                    model.statusMessage().value_or(QString())));
    }
    bool ok = false;
    const qint64 number = invocation.option(QStringLiteral("transfer")).toLongLong(&ok);
    const FixedPhraseTransferLog& log = FixedPhraseTransferLog::of(model);
    if (!ok || !log.contains(number)) {
        return CommandResult::failure(
            QStringLiteral("norvale: no phrase transfer %1 was started in this run")
                .arg(invocation.option(QStringLiteral("transfer"))));
    }
    const std::optional<FixedPhraseCommands::Outcome> outcome = log.outcome(number);
    if (!outcome) {
        return CommandResult::output(QStringLiteral("running\n"));
    }
    return CommandResult::output(
        QStringLiteral("%1\t%2\n")
            .arg(outcome->succeeded ? QStringLiteral("succeeded") : QStringLiteral("failed"),
                outcome->statusLine));
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

    CommandSpec status;
    status.words = QStringList {QStringLiteral("phrases"), QStringLiteral("status")};
    status.summary = QStringLiteral(
        "Print whether an import or export runs (running or idle) and the phrase status line; "
        "with --transfer, how that transfer ended (running, succeeded or failed, and its line).");
    status.options = {{QStringLiteral("transfer"), QStringLiteral("NUMBER"), {},
        QStringLiteral("a transfer started with --no-wait (its number was printed)")}};
    status.inInstance = statusInInstance;
    registry.add(std::move(status));

    registry.add(transferSpec(Transfer::exportCSV));
    registry.add(transferSpec(Transfer::importCSV));
}
