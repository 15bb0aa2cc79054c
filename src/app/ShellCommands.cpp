// show, settings, quit and status: the application shell's sub-commands.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "phrases/FixedPhraseModel.h"

void registerShellCommands(CommandRegistry& registry)
{
    CommandSpec show;
    show.words = QStringList {QStringLiteral("show")};
    show.summary =
        QStringLiteral("Open the quick panel at the pointer, or close it when it is open.");
    show.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                          const CommandReply& reply) {
        context.shell.toggleQuickPanelAtPointer();
        reply({});
    };
    registry.add(std::move(show));

    CommandSpec settings;
    settings.words = QStringList {QStringLiteral("settings")};
    settings.summary = QStringLiteral("Open the settings window.");
    QStringList titles;
    for (SettingsTab tab : SettingsTabs::all()) {
        titles.append(SettingsTabs::title(tab));
    }
    settings.options = {{QStringLiteral("tab"), QStringLiteral("title"), titles,
        QStringLiteral("open the window on this tab")}};
    settings.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                              const CommandReply& reply) {
        context.shell.openSettingsWindow(
            SettingsTabs::fromTitle(invocation.option(QStringLiteral("tab"))));
        reply({});
    };
    registry.add(std::move(settings));

    CommandSpec quit;
    quit.words = QStringList {QStringLiteral("quit")};
    quit.summary = QStringLiteral("Quit the running Norvale (its data is saved first).");
    quit.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                          const CommandReply& reply) {
        CommandResult result;
        // Quit once the client has its answer, so that it never sees a dropped connection. The
        // shell outlives the server and its connections.
        AppShellActions* shell = &context.shell;
        result.afterReply = [shell] {
            shell->terminate();
        };
        reply(result);
    };
    registry.add(std::move(quit));

    CommandSpec status;
    status.words = QStringList {QStringLiteral("status")};
    status.summary = QStringLiteral(
        "One line per feature: its name, on or off, and its status line, separated by tabs.");
    const CommandRegistry* owner = &registry;
    status.inInstance = [owner](const CommandInvocation&, const AppCommandContext& context,
                            const CommandReply& reply) {
        QString text;
        for (const QString& line : owner->statusLines(context.models)) {
            text += line + QLatin1Char('\n');
        }
        // A store that could not be read starts empty without a word in the interface; here a
        // user who wonders why learns where the file went.
        const QStringList warnings = QStringList {context.models.clipboardHistory.storeWarning(),
                                         context.models.fixedPhrases.storeWarning()} +
            context.shell.warnings();
        for (const QString& warning : warnings) {
            if (!warning.isEmpty()) {
                text += QStringLiteral("warning\t") + warning + QLatin1Char('\n');
            }
        }
        reply(CommandResult::output(text));
    };
    registry.add(std::move(status));
}
