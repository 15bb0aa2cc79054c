#pragma once

// The platform services one Norvale process runs on, chosen once at start: the real Linux
// backends, or the simulated world (NORVALE_PLATFORM=sim or --simulate) for demos and
// screenshots on machines without the real services. Every model and view receives these
// services by reference from here; nothing else reaches the platform.
//
// The simulated world keeps its files in a private temporary folder and its settings in
// memory, so a demo never touches the user's real history or settings.

#include "mouse/MouseSystemTools.h"
#include "platform/DefaultsStore.h"
#include "platform/Displays.h"
#include "platform/Executor.h"
#include "platform/FileLocations.h"
#include "platform/GlobalKeyMonitor.h"
#include "platform/LoginItem.h"
#include "platform/Pasteboard.h"
#include "platform/Scheduler.h"
#include "platform/ScrollEventTap.h"
#include "platform/SessionEvents.h"
#include "platform/SoundSystem.h"
#include "platform/SyntheticKeyboard.h"
#include "platform/SystemCommands.h"
#include "platform/SystemTray.h"
#include "platform/WindowAccess.h"
#include "platform/Workspace.h"
#include "update/SoftwareUpdateBackend.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class SimPasteboard;

enum class PlatformKind
{
    Linux,
    Simulated
};

// NORVALE_PLATFORM=sim or a --simulate argument choose the simulated world.
PlatformKind choosePlatformKind(const QStringList& arguments, const QByteArray& environmentValue);

struct AppPlatform final
{
    PlatformKind kind = PlatformKind::Linux;
    std::unique_ptr<QTemporaryDir> simulatedDataDirectory;
    std::unique_ptr<Scheduler> scheduler;
    std::unique_ptr<Executor> executor;
    std::unique_ptr<DefaultsStore> defaults;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<SyntheticKeyboard> keyboard;
    std::unique_ptr<Displays> displays;
    std::unique_ptr<WindowAccess> windowAccess;
    std::unique_ptr<SessionEvents> sessionEvents;
    std::unique_ptr<SystemTray> tray;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<GlobalKeyMonitor> keyMonitor;
    std::unique_ptr<SoundSystem> sound;
    std::unique_ptr<SystemDefaults> systemDefaults;
    std::unique_ptr<SystemCommandExecutor> commandExecutor;
    std::unique_ptr<ScrollEventTap> scrollTap;
    std::unique_ptr<SoftwareUpdateBackend> updateBackend;
    // Opens a verified update package; empty for the desktop's installer. The simulated
    // world's packages are samples that install nothing.
    std::function<bool(const QString& path)> openUpdatePackage;
    // The pasteboard when it is the simulated world's (the same object as pasteboard).
    SimPasteboard* simulatedPasteboard = nullptr;
    MouseSystemTools mouseTools;
    std::optional<FileLocations> files;
    // Where the one-time migration looks for what an earlier build left; empty in the
    // simulated world, which reads nothing of the user's.
    QString homeDirectory;

    AppPlatform();
    ~AppPlatform();
    AppPlatform(AppPlatform&&) noexcept;
    AppPlatform& operator=(AppPlatform&&) noexcept;

    // The services of a running instance (needs a QGuiApplication for the Linux pasteboard).
    static AppPlatform create(PlatformKind kind);

    // The desktop-file id, and the bundle identifier the system reckons Norvale by.
    static const QString applicationIdentifier;
};
