#include "SimulatedSamples.h"

#include "placement/MonitorDescriptor.h"
#include "placement/WindowPlacementRuleStore.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWindowAccess.h"
#include "support/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct SampleWindow
{
    const char* bundleIdentifier;
    const char* applicationName;
    const char* title;
    QRectF frame;
};

const SampleWindow sampleWindows[] = {
    {"org.gnome.TextEditor", "テキストエディター", "議事録.txt", QRectF(120, 80, 960, 640)},
    {"org.gnome.Terminal", "端末", "~/src/norvale", QRectF(1000.5, 500.4, 800, 480)},
    {"org.gnome.Nautilus", "ファイル", "ダウンロード", QRectF(40, 300, 720, 520)},
};

void addWindows(const SimDisplays& displays, SimWindowAccess& windows, DefaultsStore& defaults)
{
    QList<ApplicationRecord> applications;
    qint32 pid = 4100;
    quint64 windowID = 0x3a00001;
    for (const SampleWindow& sample : sampleWindows) {
        ++pid;
        applications.append({QString::fromUtf8(sample.bundleIdentifier), true, pid,
            QString::fromUtf8(sample.applicationName), false});
        SimWindowAccess::Window window;
        window.element = {windowID++};
        window.processIdentifier = pid;
        window.ownerName = QString::fromUtf8(sample.applicationName);
        window.title = QString::fromUtf8(sample.title);
        window.frame = sample.frame;
        window.isOnScreen = true;
        window.alpha = 1;
        windows.addWindow(window);
    }
    windows.setApplications(applications);

    const MonitorConfiguration monitor =
        monitorConfiguration(monitorDescriptors(displays.displays()));
    const SampleWindow& registered = sampleWindows[1];
    const QRectF& frame = registered.frame;
    WindowPlacementRuleStore(defaults).save({{Uuid::create(), monitor.signature,
        monitor.description, QString::fromUtf8(registered.bundleIdentifier),
        QString::fromUtf8(registered.applicationName), QString::fromUtf8(registered.title),
        {frame.x(), frame.y(), frame.width(), frame.height()}, 0}});
}

void addMouse(ScriptedSystemCommands& commands)
{
    const QString hidUtility = QStringLiteral("/usr/bin/hidutil");
    commands.script(hidUtility,
        {QStringLiteral("list"), QStringLiteral("--matching"), QStringLiteral("mouse"),
            QStringLiteral("--ndjson")},
        SystemCommandResult::success(QStringLiteral(
            R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":49298,"LocationID":20,"Product":"G Pro","Manufacturer":"Logitech","Transport":"USB"})")));
    const QString match = QStringLiteral(R"({"VendorID":1133,"ProductID":49298,"LocationID":20})");
    for (const auto& [property, value] :
        {std::pair {QStringLiteral("HIDMouseAcceleration"), 5 * 9011},
            std::pair {QStringLiteral("HIDPointerAcceleration"), 7 * 6553}}) {
        commands.script(hidUtility,
            {QStringLiteral("property"), QStringLiteral("--matching"), match,
                QStringLiteral("--get"), property},
            SystemCommandResult::success(QString::number(value) + QLatin1Char('\n')));
    }
    commands.script(QStringLiteral("/bin/ps"), {QStringLiteral("-axo"), QStringLiteral("comm")},
        SystemCommandResult::success(
            QStringLiteral("COMM\nsystemd\n/opt/logitech/LogiPluginService\nnorvale\n")));
}

void addSoundPriorities(MemoryDefaultsStore& defaults)
{
    QJsonArray known;
    for (const auto& [id, name] : {std::pair {"sim-headset", "Bluetooth Headset"},
             std::pair {"sim-headphones", "Headphones"}, std::pair {"sim-speakers", "Speakers"}}) {
        known.append(QJsonObject {{QStringLiteral("id"), QString::fromUtf8(id)},
            {QStringLiteral("name"), QString::fromUtf8(name)},
            {QStringLiteral("isAvailable"), false}});
    }
    defaults.set(QStringLiteral("soundPriority.knownDevices"),
        QJsonDocument(known).toJson(QJsonDocument::Compact));
    defaults.set(QStringLiteral("soundPriority.priority1.deviceID"), QStringLiteral("sim-headset"));
    defaults.set(
        QStringLiteral("soundPriority.priority2.deviceID"), QStringLiteral("sim-headphones"));
    defaults.set(
        QStringLiteral("soundPriority.priority3.deviceID"), QStringLiteral("sim-speakers"));
}

} // namespace

namespace SimulatedSamples {

void add(const SimDisplays& displays, SimWindowAccess& windows, MemoryDefaultsStore& defaults,
    ScriptedSystemCommands& commands)
{
    addWindows(displays, windows, defaults);
    addMouse(commands);
    addSoundPriorities(defaults);
    defaults.setForeignValue(
        QStringLiteral("com.apple.spaces"), QStringLiteral("spans-displays"), true);
}

} // namespace SimulatedSamples
