#include "AppPlatform.h"

#include "SimulatedSoftwareUpdates.h"
#include "SimulatedWorld.h"
#include "mouse/hidutil/HidUtilCommand.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/linux/EvdevScrollEventTap.h"
#include "platform/linux/LinuxDefaultsStore.h"
#include "platform/linux/LinuxDisplays.h"
#include "platform/linux/LinuxGlobalKeyMonitor.h"
#include "platform/linux/LinuxPasteboard.h"
#include "platform/linux/LinuxSessionEvents.h"
#include "platform/linux/LinuxSyntheticKeyboard.h"
#include "platform/linux/LinuxSystemTray.h"
#include "platform/linux/LinuxWindowAccess.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/ProcProcessList.h"
#include "platform/linux/PulseAudioSoundSystem.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimGlobalKeyMonitor.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimScrollEventTap.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimSyntheticKeyboard.h"
#include "platform/sim/SimSystemTray.h"
#include "platform/sim/SimWorkspace.h"
#include "update/NetworkSoftwareUpdateBackend.h"
#include "update/SoftwareUpdateSignature.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

PlatformKind choosePlatformKind(const QStringList& arguments, const QByteArray& environmentValue)
{
    if (arguments.contains(QStringLiteral("--simulate"))) {
        return PlatformKind::Simulated;
    }
    return environmentValue == "sim" ? PlatformKind::Simulated : PlatformKind::Linux;
}

AppPlatform::AppPlatform() = default;
AppPlatform::~AppPlatform() = default;
AppPlatform::AppPlatform(AppPlatform&&) noexcept = default;
AppPlatform& AppPlatform::operator=(AppPlatform&&) noexcept = default;

const QString AppPlatform::applicationIdentifier = QStringLiteral("app.norvale.Norvale");

AppPlatform AppPlatform::create(PlatformKind kind)
{
    AppPlatform platform;
    platform.kind = kind;
    platform.scheduler = std::make_unique<QtScheduler>();
    platform.executor = std::make_unique<ThreadPoolExecutor>(*platform.scheduler);
    if (kind == PlatformKind::Simulated) {
        platform.simulatedDataDirectory = std::make_unique<QTemporaryDir>();
        platform.files.emplace(
            platform.simulatedDataDirectory->filePath(QStringLiteral("Norvale")));
        platform.defaults = std::make_unique<MemoryDefaultsStore>();
        auto pasteboard = std::make_unique<SimPasteboard>();
        platform.simulatedPasteboard = pasteboard.get();
        platform.pasteboard = std::move(pasteboard);
        auto workspace = std::make_unique<SimWorkspace>(*platform.scheduler,
            QCoreApplication::applicationPid(), QCoreApplication::applicationName());
        platform.keyboard =
            std::make_unique<SimSyntheticKeyboard>(*platform.scheduler, workspace.get());
        platform.workspace = std::move(workspace);
        platform.sessionEvents = std::make_unique<SimSessionEvents>();
        auto tray = std::make_unique<SimSystemTray>();
        tray->setHostAvailable();
        platform.tray = std::move(tray);
        platform.loginItem = std::make_unique<SimLoginItem>();
        platform.keyMonitor = std::make_unique<SimGlobalKeyMonitor>();
        platform.systemDefaults = std::make_unique<ScriptedSystemCommands>(*platform.scheduler);
        platform.scrollTap = std::make_unique<SimScrollEventTap>();
        platform.updateBackend = std::make_unique<SimulatedSoftwareUpdates>(*platform.scheduler,
            platform.simulatedDataDirectory->filePath(QStringLiteral("updates")));
        platform.openUpdatePackage = [](const QString&) {
            return true;
        };
        SimulatedWorld::furnish(platform);
    } else {
        platform.files.emplace(FileLocations::standard());
        platform.homeDirectory = QDir::homePath();
        platform.defaults = std::make_unique<LinuxDefaultsStore>();
        platform.pasteboard = std::make_unique<LinuxPasteboard>();
        platform.workspace = std::make_unique<LinuxWorkspace>();
        platform.keyboard = std::make_unique<LinuxSyntheticKeyboard>();
        platform.displays = std::make_unique<LinuxDisplays>();
        platform.windowAccess = std::make_unique<LinuxWindowAccess>(applicationIdentifier);
        platform.sessionEvents = std::make_unique<LinuxSessionEvents>();
        platform.tray = std::make_unique<LinuxSystemTray>();
        platform.loginItem = std::make_unique<XdgAutostartLoginItem>(applicationIdentifier,
            QCoreApplication::applicationFilePath(), QStringLiteral("norvale"));
        platform.keyMonitor = std::make_unique<LinuxGlobalKeyMonitor>();
        platform.sound = std::make_unique<PulseAudioSoundSystem>();
        platform.systemDefaults = std::make_unique<ProcessSystemDefaults>();
        // The HID helper is installed beside the norvale executable; until it is there, the
        // mouse feature reports the launch failure. The mouse feature lists processes and
        // mice every few seconds while it is on: both are answered without starting a
        // process.
        const QString hidHelper =
            QCoreApplication::applicationDirPath() + QStringLiteral("/norvale-hidutil");
        platform.commandExecutor =
            std::make_unique<ProcessSystemCommandExecutor>(*platform.executor,
                std::vector {ProcProcessList::inProcessCommand(),
                    HidUtilCommand::inProcessListing(hidHelper)});
        platform.scrollTap = std::make_unique<EvdevScrollEventTap>();
        platform.mouseTools = MouseSystemTools::withGSettings(*platform.systemDefaults, hidHelper);
        platform.updateBackend = std::make_unique<NetworkSoftwareUpdateBackend>(
            NetworkSoftwareUpdateBackend::standardDownloadFolder(),
            SoftwareUpdateSignature::publicKey());
    }
    return platform;
}
