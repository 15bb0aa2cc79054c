// shortcut: the global shortcuts as stored, one line per slot: its name, a tab and its display
// text, or "未設定" when none is set (or what is stored does not read as a shortcut, which the
// running application would not use either).
//
// It reads the defaults store, which the running instance writes at every change, so it works
// with or without an instance.

#include "AppSettingsModel.h"
#include "ApplicationCommands.h"
#include "placement/WindowPlacementRuleStore.h"
#include "shortcuts/ShortcutSlot.h"

namespace {

struct SlotKey
{
    ShortcutSlot slot;
    const char* name;
    QString key;
};

} // namespace

void registerShortcutCommands(CommandRegistry& registry)
{
    CommandSpec shortcut;
    shortcut.words = QStringList {QStringLiteral("shortcut")};
    shortcut.summary =
        QStringLiteral("Print each global shortcut: its slot and its keys, separated by a tab.");
    shortcut.route = CommandRoute::Local;
    shortcut.locally = [](const CommandInvocation&, LocalCommandContext& context) {
        if (context.defaults == nullptr) {
            return CommandResult::failure(QStringLiteral(
                "the simulated world keeps its settings in memory; shortcut reads the real store "
                "only"));
        }
        const SlotKey slots[] = {
            {ShortcutSlot::LeftClickMenu, "leftClickMenu", AppSettingsModel::leftClickShortcutKey},
            {ShortcutSlot::WindowPlacementApply, "windowPlacementApply",
                WindowPlacementRuleStore::applyShortcutKey()}};
        QString text;
        for (const SlotKey& slot : slots) {
            const auto stored = context.defaults->dataValue(slot.key);
            const auto value = stored ? LeftClickShortcut::fromJson(*stored) : std::nullopt;
            text += QLatin1String(slot.name) + QLatin1Char('\t') +
                (value ? value->displayText() : QStringLiteral("未設定")) + QLatin1Char('\n');
        }
        return CommandResult::output(text);
    };
    registry.add(std::move(shortcut));
}
