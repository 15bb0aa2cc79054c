// show, settings, quit and status: the application shell's sub-commands.

#include "AppDelegate.h"
#include "ApplicationCommands.h"

#include <QPointer>

void registerShellCommands(CommandRegistry& registry)
{
    CommandSpec show;
    show.words = QStringList {QStringLiteral("show")};
    show.summary =
        QStringLiteral("Open the quick panel at the pointer, or close it when it is open.");
    show.inInstance = [](const CommandInvocation&, AppDelegate& app) {
        app.toggleQuickPanelAtPointer();
        return CommandResult();
    };
    registry.add(std::move(show));

    CommandSpec settings;
    settings.words = QStringList {QStringLiteral("settings")};
    settings.summary = QStringLiteral("Open the settings window.");
    settings.inInstance = [](const CommandInvocation&, AppDelegate& app) {
        app.openSettingsWindow();
        return CommandResult();
    };
    registry.add(std::move(settings));

    CommandSpec quit;
    quit.words = QStringList {QStringLiteral("quit")};
    quit.summary = QStringLiteral("Quit the running Norvale (its data is saved first).");
    quit.inInstance = [](const CommandInvocation&, AppDelegate& app) {
        CommandResult result;
        // Quit once the client has its answer, so that it never sees a dropped connection.
        QPointer<AppDelegate> guard(&app);
        result.afterReply = [guard] {
            if (guard) {
                guard->terminate();
            }
        };
        return result;
    };
    registry.add(std::move(quit));

    CommandSpec status;
    status.words = QStringList {QStringLiteral("status")};
    status.summary = QStringLiteral(
        "One line per feature: its name, on or off, and its status line, separated by tabs.");
    const CommandRegistry* owner = &registry;
    status.inInstance = [owner](const CommandInvocation&, AppDelegate& app) {
        QString text;
        for (const QString& line : owner->statusLines(app)) {
            text += line + QLatin1Char('\n');
        }
        return CommandResult::output(text);
    };
    registry.add(std::move(status));
}
