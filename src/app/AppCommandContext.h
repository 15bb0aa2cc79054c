#pragma once

// What a command handler in the running instance may use: the feature models, the few
// shell actions that belong to no model (the quick panel, the settings window, quitting), and
// the attached displays.

#include "AppModels.h"

#include <QStringList>

class Displays;

class AppShellActions
{
public:
    virtual ~AppShellActions() = default;

    virtual void toggleQuickPanelAtPointer() = 0;
    virtual void openSettingsWindow() = 0;
    // Asks the application to quit; the termination sequence follows.
    virtual void terminate() = 0;
    // What the shell cannot do in this session, one line each (for `norvale status`).
    virtual QStringList warnings() const { return {}; }

protected:
    AppShellActions() = default;
    AppShellActions(const AppShellActions&) = default;
    AppShellActions& operator=(const AppShellActions&) = default;
};

struct AppCommandContext
{
    AppModels models;
    AppShellActions& shell;
    const Displays& displays;
};
