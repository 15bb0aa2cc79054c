#include "ApplicationCommands.h"

#include "AppCommandContext.h"

void registerApplicationCommands(CommandRegistry& registry)
{
    registerShellCommands(registry);
    registerHistoryCommands(registry);
    registerPhraseCommands(registry);
    registerShortcutCommands(registry);
    registerConfigCommands(registry);
    registerPlacementCommands(registry);
    registerDockCommands(registry);
    registerSoundCommands(registry);
    registerUpdateCommands(registry);
    registerMouseCommands(registry);
}

void addFeatureSwitchCommands(CommandRegistry& registry, const QString& group,
    const QString& enableSummary, const QString& disableSummary,
    std::function<void(const AppModels&, bool)> setEnabled,
    std::function<std::optional<QString>(const AppModels&)> statusMessage)
{
    addFeatureSwitchCommands(registry, group, enableSummary, disableSummary,
        FeatureSwitch(
            [setEnabled](const AppModels& models, bool on, const std::function<void()>& settled) {
                setEnabled(models, on);
                settled();
            }),
        std::move(statusMessage));
}

void addFeatureSwitchCommands(CommandRegistry& registry, const QString& group,
    const QString& enableSummary, const QString& disableSummary, FeatureSwitch setEnabled,
    std::function<std::optional<QString>(const AppModels&)> statusMessage)
{
    for (const bool enable : {true, false}) {
        CommandSpec toggle;
        toggle.words =
            QStringList {group, enable ? QStringLiteral("enable") : QStringLiteral("disable")};
        toggle.summary = enable ? enableSummary : disableSummary;
        toggle.inInstance = [enable, setEnabled, statusMessage](const CommandInvocation&,
                                const AppCommandContext& context, const CommandReply& reply) {
            const AppModels models = context.models;
            setEnabled(models, enable, [models, statusMessage, reply] {
                reply(CommandResult::output(
                    statusMessage(models).value_or(QString()) + QLatin1Char('\n')));
            });
        };
        registry.add(std::move(toggle));
    }
}
