#include "ApplicationCommands.h"

void registerApplicationCommands(CommandRegistry& registry)
{
    registerShellCommands(registry);
    registerHistoryCommands(registry);
    registerPhraseCommands(registry);
    registerShortcutCommands(registry);
    registerConfigCommands(registry);
    registerPlacementCommands(registry);
    registerSoundCommands(registry);
}
