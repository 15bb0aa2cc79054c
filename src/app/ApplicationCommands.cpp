#include "ApplicationCommands.h"

void registerApplicationCommands(CommandRegistry& registry)
{
    registerShellCommands(registry);
    registerHistoryCommands(registry);
    registerPhraseCommands(registry);
    registerConfigCommands(registry);
    registerPlacementCommands(registry);
}
