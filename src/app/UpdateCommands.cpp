// update check: one software update check, in the running instance or, when none runs, in this
// process (holding the instance lock meanwhile, so that no instance starts half-way). It
// answers with one line: the newer version and the verified file's path, "最新です", or the
// error (exit status 1). A check that is already running answers the request with its outcome.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "platform/QtScheduler.h"
#include "update/NetworkSoftwareUpdateBackend.h"
#include "update/SoftwareUpdateSignature.h"
#include "update/SoftwareUpdaterModel.h"

#include <QEventLoop>

#include <memory>

namespace {

// Downloading a large package over a slow line; the instance quitting ends the wait sooner.
constexpr int checkReplyTimeoutMs = 30 * 60 * 1000;

CommandResult resultOf(const SoftwareUpdateOutcome& outcome)
{
    switch (outcome.kind) {
    case SoftwareUpdateOutcome::Kind::UpdateReady:
        return CommandResult::output(
            QStringLiteral("%1 %2\n").arg(outcome.item.displayVersion(), outcome.filePath));
    case SoftwareUpdateOutcome::Kind::UpToDate:
        return CommandResult::output(QStringLiteral("最新です\n"));
    case SoftwareUpdateOutcome::Kind::Failed:
        break;
    }
    return CommandResult::failure(outcome.error);
}

void check(SoftwareUpdaterModel& updater, const std::function<void(CommandResult)>& answer)
{
    if (!updater.isStarted()) {
        return answer(CommandResult::failure(QStringLiteral(
            "ソフトウェア・アップデートは無効になっています (NORVALE_DISABLE_SOFTWARE_UPDATES)")));
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&updater, &SoftwareUpdaterModel::checkFinished, &updater,
        [connection, answer](const SoftwareUpdateOutcome& outcome) {
            QObject::disconnect(*connection);
            answer(resultOf(outcome));
        });
    if (updater.canCheckForUpdates()) {
        updater.checkForUpdates(SoftwareUpdaterModel::CheckOrigin::CommandLine);
    }
}

CommandResult checkLocally(LocalCommandContext& context)
{
    if (context.defaults == nullptr) {
        // The simulated world keeps its settings inside its instance.
        return CommandResult::failure(
            QStringLiteral("norvale: Norvale is not running (start it with 'norvale')"),
            CommandExit::noInstance);
    }
    QtScheduler scheduler;
    NetworkSoftwareUpdateBackend backend(NetworkSoftwareUpdateBackend::standardDownloadFolder(),
        SoftwareUpdateSignature::publicKey());
    SoftwareUpdaterModel updater(
        backend, *context.defaults, scheduler, SoftwareUpdaterModel::standardConfiguration());
    std::optional<CommandResult> result;
    QEventLoop loop;
    check(updater, [&result, &loop](CommandResult answer) {
        result = std::move(answer);
        loop.quit();
    });
    if (!result) {
        loop.exec();
    }
    return *result;
}

} // namespace

void registerUpdateCommands(CommandRegistry& registry)
{
    CommandSpec spec;
    spec.words = QStringList {QStringLiteral("update"), QStringLiteral("check")};
    spec.summary = QStringLiteral(
        "Check for a newer version now (as \"アップデートを確認...\" does) and download and verify "
        "it; prints the new version and the verified file, or \"最新です\".");
    spec.route = CommandRoute::InstanceOrExclusive;
    spec.replyTimeoutMs = checkReplyTimeoutMs;
    spec.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                          const CommandReply& reply) {
        check(context.models.softwareUpdater, [reply](CommandResult result) { reply(result); });
    };
    spec.locally = [](const CommandInvocation&, LocalCommandContext& context) {
        return checkLocally(context);
    };
    registry.add(std::move(spec));
}
