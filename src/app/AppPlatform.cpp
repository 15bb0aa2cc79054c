#include "AppPlatform.h"

#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

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
        platform.pasteboard = std::make_unique<SimPasteboard>();
    } else {
        platform.files.emplace(FileLocations::standard());
    }
    return platform;
}

bool AppPlatform::waitForBackgroundWork(int milliseconds)
{
    auto* pool = dynamic_cast<ThreadPoolExecutor*>(executor.get());
    return pool == nullptr || pool->waitForDone(milliseconds);
}
