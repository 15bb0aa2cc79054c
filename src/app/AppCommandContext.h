#pragma once

// What a command handler in the running instance may use: the feature models, the few
// shell actions that belong to no model (the quick panel, the settings window, quitting), and
// the attached displays.

#include "AppModels.h"
#include "settings/SettingsTab.h"

#include <QStringList>

#include <optional>

class Displays;
class SimPasteboard;

class AppShellActions
{
public:
    virtual ~AppShellActions() = default;

    virtual void toggleQuickPanelAtPointer() = 0;
    // Opens the settings window, on the given tab or else on the one selected last.
    virtual void openSettingsWindow(std::optional<SettingsTab> tab) = 0;
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
    // The clipboard the simulated world's own commands copy to; absent on the desktop.
    SimPasteboard* simulatedPasteboard = nullptr;
};
