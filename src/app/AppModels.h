#pragma once

// The feature models of one running Norvale, by reference, for the code that works across
// features without being the application delegate: the command handlers and their status
// lines today. AppDelegate owns the models and hands out this bundle; a new feature adds its
// model here and needs no accessor on the delegate.

class AppSettingsModel;
class ClipboardHistoryModel;
class DockMovementPreventionModel;
class FixedPhraseModel;
class MouseSettingsModel;
class SoftwareUpdaterModel;
class SoundPriorityModel;
class WindowPlacementModel;

struct AppModels
{
    ClipboardHistoryModel& clipboardHistory;
    FixedPhraseModel& fixedPhrases;
    AppSettingsModel& appSettings;
    DockMovementPreventionModel& dockMovementPrevention;
    WindowPlacementModel& windowPlacement;
    SoundPriorityModel& soundPriority;
    MouseSettingsModel& mouseSettings;
    SoftwareUpdaterModel& softwareUpdater;
};
