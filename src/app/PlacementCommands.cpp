// monitors: the monitor configuration as window placement records it.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "placement/MonitorDescriptor.h"

void registerPlacementCommands(CommandRegistry& registry)
{
    CommandSpec monitors;
    monitors.words = QStringList {QStringLiteral("monitors")};
    monitors.summary = QStringLiteral(
        "The attached monitor configuration: its signature, then its description, each on a "
        "line after a label and a tab.");
    monitors.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                              const CommandReply& reply) {
        const MonitorConfiguration configuration =
            monitorConfiguration(monitorDescriptors(context.displays.displays()));
        reply(CommandResult::output(QStringLiteral("signature\t") + configuration.signature +
            QStringLiteral("\ndescription\t") + configuration.description + QLatin1Char('\n')));
    };
    registry.add(std::move(monitors));
}
