#pragma once

// The models the settings window shows, on mock time over the simulated platform, with a
// temporary application-support folder.

#include "app/AppSettingsModel.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "dock/DockMovementPreventionModel.h"
#include "mouse/MouseSettingsModel.h"
#include "phrases/FixedPhraseModel.h"
#include "placement/WindowPlacementModel.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimScrollEventTap.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimSoundSystem.h"
#include "platform/sim/SimWindowAccess.h"
#include "settings/SettingsView.h"
#include "sound/SoundPriorityModel.h"

#include <QTemporaryDir>

#include <memory>

struct SettingsWorld
{
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    MemoryDefaultsStore defaults;
    SimLoginItem loginItem;
    SimPasteboard pasteboard;
    SimDisplays displays;
    SimWindowAccess windows;
    SimSessionEvents session;
    QTemporaryDir dir;
    FileLocations locations {dir.path()};
    std::unique_ptr<AppSettingsModel> appSettings;
    std::unique_ptr<ClipboardHistoryModel> clipboardHistory;
    std::unique_ptr<FixedPhraseModel> fixedPhrases;
    std::unique_ptr<WindowPlacementModel> windowPlacement;
    SimSoundSystem sound;
    std::unique_ptr<SoundPriorityModel> soundPriority;
    ScriptedSystemCommands commands {scheduler};
    std::unique_ptr<DockMovementPreventionModel> dockMovementPrevention;
    SimScrollEventTap scrollTap;
    std::unique_ptr<MouseSettingsModel> mouseSettings;
    std::unique_ptr<SettingsView> view;

    SettingsView& start()
    {
        appSettings = std::make_unique<AppSettingsModel>(defaults, loginItem);
        clipboardHistory = std::make_unique<ClipboardHistoryModel>(
            pasteboard, defaults, scheduler, executor, locations);
        fixedPhrases = std::make_unique<FixedPhraseModel>(scheduler, executor, locations);
        windowPlacement = std::make_unique<WindowPlacementModel>(
            WindowPlacementModel::Services {defaults, scheduler, displays, windows, session},
            QStringLiteral("app.norvale.Norvale"));
        soundPriority = std::make_unique<SoundPriorityModel>(sound, defaults, scheduler);
        dockMovementPrevention =
            std::make_unique<DockMovementPreventionModel>(displays, defaults, commands, scheduler);
        mouseSettings = std::make_unique<MouseSettingsModel>(
            commands, scrollTap, defaults, scheduler, MouseSystemTools::withDefaultsTool(defaults));
        view = std::make_unique<SettingsView>(
            SettingsModels {*appSettings, *clipboardHistory, *fixedPhrases, windowPlacement.get(),
                soundPriority.get(), dockMovementPrevention.get(), mouseSettings.get()},
            defaults, scheduler);
        return *view;
    }
};
