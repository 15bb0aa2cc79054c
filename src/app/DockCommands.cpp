// dock enable and dock disable: Dock movement prevention from the command line, and its line
// in `norvale status`.

#include "ApplicationCommands.h"
#include "dock/DockMovementPreventionModel.h"

void registerDockCommands(CommandRegistry& registry)
{
    registry.addStatusLine([](const AppModels& models) {
        const DockMovementPreventionModel& dock = models.dockMovementPrevention;
        return QStringLiteral("dockMovementPrevention\t%1\t%2")
            .arg(
                dock.dockMovementPreventionEnabled() ? QStringLiteral("on") : QStringLiteral("off"),
                dock.statusMessage().value_or(QString()));
    });
    addFeatureSwitchCommands(
        registry, QStringLiteral("dock"),
        QStringLiteral("Turn Dock movement prevention on: the pointer is kept off the Dock edge "
                       "of secondary displays (as its status-menu item does)."),
        QStringLiteral("Turn Dock movement prevention off."),
        [](const AppModels& models, bool on) {
            models.dockMovementPrevention.setDockMovementPreventionEnabled(on);
        },
        [](const AppModels& models) { return models.dockMovementPrevention.statusMessage(); });
}
