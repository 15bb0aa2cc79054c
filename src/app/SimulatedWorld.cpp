#include "SimulatedWorld.h"

#include "AppPlatform.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "phrases/FixedPhraseStorage.h"
#include "placement/MonitorDescriptor.h"
#include "placement/WindowPlacementRuleStore.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimSoundSystem.h"
#include "platform/sim/SimWindowAccess.h"
#include "support/Uuid.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <memory>

namespace {

// A wide main display, a larger one to its right and a portrait one to its left: enough for
// window placement to remember per configuration and for the pointer guard's edges.
std::unique_ptr<SimDisplays> sampleDisplays()
{
    auto displays = std::make_unique<SimDisplays>();
    displays->setDisplays({
        SimDisplays::display(QStringLiteral("SIM-1"), QRect(0, 0, 1920, 1080), true),
        SimDisplays::display(QStringLiteral("SIM-2"), QRect(1920, 0, 2560, 1440)),
        SimDisplays::display(QStringLiteral("SIM-3"), QRect(-1080, 0, 1080, 1920)),
    });
    displays->setPointerLocation(QPoint(960, 540));
    return displays;
}

// Three windows of running applications, one of them registered for the sample displays, so
// that window placement has something to list, apply and remember.
std::unique_ptr<SimWindowAccess> sampleWindows(const SimDisplays& displays, DefaultsStore& defaults)
{
    struct Sample
    {
        const char* bundleIdentifier;
        const char* applicationName;
        const char* title;
        QRectF frame;
    };
    const Sample samples[] = {
        {"org.gnome.TextEditor", "テキストエディター", "議事録.txt", QRectF(120, 80, 960, 640)},
        {"org.gnome.Terminal", "端末", "~/src/norvale", QRectF(1000.5, 500.4, 800, 480)},
        {"org.gnome.Nautilus", "ファイル", "ダウンロード", QRectF(40, 300, 720, 520)},
    };
    auto windows = std::make_unique<SimWindowAccess>();
    QList<ApplicationRecord> applications;
    qint32 pid = 4100;
    quint64 windowID = 0x3a00001;
    for (const Sample& sample : samples) {
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
        windows->addWindow(window);
    }
    windows->setApplications(applications);

    const MonitorConfiguration monitor =
        monitorConfiguration(monitorDescriptors(displays.displays()));
    const Sample& registered = samples[1];
    const QRectF& frame = registered.frame;
    WindowPlacementRuleStore(defaults).save({{Uuid::create(), monitor.signature,
        monitor.description, QString::fromUtf8(registered.bundleIdentifier),
        QString::fromUtf8(registered.applicationName), QString::fromUtf8(registered.title),
        {frame.x(), frame.y(), frame.width(), frame.height()}, 0}});
    return windows;
}

// Two outputs, the speakers the default: enough to show sound priority at work.
std::unique_ptr<SimSoundSystem> sampleSound()
{
    auto sound = std::make_unique<SimSoundSystem>();
    sound->plug(SimSoundSystem::output(QStringLiteral("sim-speakers"), QStringLiteral("Speakers")));
    sound->plug(
        SimSoundSystem::output(QStringLiteral("sim-headphones"), QStringLiteral("Headphones")));
    sound->chooseDefaultByHand(QStringLiteral("sim-speakers"));
    return sound;
}

// Priorities that rank a headset no longer connected first, as after a day away from it.
void rankSoundOutputs(DefaultsStore& defaults)
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

QByteArray sampleImage()
{
    QImage image(320, 180, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 320, 180);
    gradient.setColorAt(0, QColor(0x2f, 0x6f, 0xde));
    gradient.setColorAt(1, QColor(0x8f, 0xd3, 0xc4));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Newest first, a few minutes apart, as a morning's copying leaves them.
QList<ClipboardHistoryItem> sampleHistory()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList texts = {
        QStringLiteral("会議は 15:00 から第 2 会議室です。"),
        QStringLiteral("https://norvale.app/"),
        QStringLiteral("git rebase main"),
        QStringLiteral("よろしくお願いいたします。"),
    };
    QList<ClipboardHistoryItem> items;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        items.append(ClipboardHistoryItem::makeText(texts[i], now.addSecs(-300 * (i + 1))));
    }
    items.insert(1, ClipboardHistoryItem::makeImage(sampleImage(), now.addSecs(-420)));
    return items;
}

FixedPhraseFolderList samplePhrases()
{
    const auto phrase = [](const char* title, const char* content) {
        return FixedPhrase {
            QUuid::createUuid(), QString::fromUtf8(title), QString::fromUtf8(content), true};
    };
    return {
        FixedPhraseFolder {QUuid::createUuid(), QStringLiteral("挨拶"), true,
            {phrase("お礼", "ご連絡ありがとうございます。"),
                phrase("お願い", "お手数をおかけしますが、よろしくお願いいたします。"),
                phrase("締め", "引き続きよろしくお願いいたします。")}},
        FixedPhraseFolder {QUuid::createUuid(), QStringLiteral("署名"), true,
            {phrase("署名", "――\n山田 花子\nNorvale 開発チーム")}},
    };
}

void writeSampleFiles(const FileLocations& files)
{
    QString error;
    const ClipboardHistoryStorage history(files.applicationSupportDirectory());
    if (!history.saveSynchronously(sampleHistory(), &error)) {
        qWarning("simulated world: %s", qPrintable(error));
    }
    const FixedPhraseStorage phrases(files.filePath(FixedPhraseStorage::fileName()));
    if (!phrases.save(samplePhrases(), &error)) {
        qWarning("simulated world: %s", qPrintable(error));
    }
}

} // namespace

void SimulatedWorld::furnish(AppPlatform& platform)
{
    auto displays = sampleDisplays();
    platform.windowAccess = sampleWindows(*displays, *platform.defaults);
    platform.displays = std::move(displays);
    platform.sound = sampleSound();
    rankSoundOutputs(*platform.defaults);
    // The Dock's earlier setting still on, as a desk moved over from another system has it.
    static_cast<MemoryDefaultsStore&>(*platform.defaults)
        .setForeignValue(
            QStringLiteral("com.apple.spaces"), QStringLiteral("spans-displays"), true);
    platform.mouseTools = MouseSystemTools::withDefaultsTool(*platform.defaults);
    auto commands = std::make_unique<ScriptedSystemCommands>(*platform.scheduler);
    commands->setResponder(
        [mice = std::make_shared<SimulatedMice>(platform.mouseTools.hidUtility,
             platform.mouseTools.processLister)](const QString& executable,
            const QStringList& arguments) { return mice->answer(executable, arguments); });
    platform.commandExecutor = std::move(commands);
    writeSampleFiles(*platform.files);
}

SimulatedMice::SimulatedMice(QString hidUtility, QString processLister)
    : m_hidUtility(std::move(hidUtility))
    , m_processLister(std::move(processLister))
{
    // Raw acceleration values as the HID utility reports them (65536 is 1.0).
    const QHash<QString, qint64> defaults = {
        {QStringLiteral("HIDMouseAcceleration"), 45056},
        {QStringLiteral("HIDPointerAcceleration"), 45056},
    };
    m_mice = {
        Mouse {1133, 49298, 20, QStringLiteral("USB"), QStringLiteral("G Pro"),
            QStringLiteral("Logitech"),
            {{QStringLiteral("HIDMouseAcceleration"), 5 * 9011},
                {QStringLiteral("HIDPointerAcceleration"), 7 * 6553}}},
        Mouse {5426, 132, 0x2a3b4c5d, QStringLiteral("Bluetooth"), QStringLiteral("DeathAdder V2"),
            QStringLiteral("Razer"), defaults},
    };
}

SystemCommandResult SimulatedMice::answer(const QString& executable, const QStringList& arguments)
{
    if (executable == m_hidUtility) {
        return utility(arguments);
    }
    if (executable == m_processLister) {
        return SystemCommandResult::success(
            QStringLiteral("COMM\nsystemd\n/opt/logitech/LogiPluginService\nnorvale\n"));
    }
    return SystemCommandResult::launchFailure(QStringLiteral("execve: No such file or directory"));
}

SystemCommandResult SimulatedMice::utility(const QStringList& arguments)
{
    const auto usage = [](const QString& message) {
        return SystemCommandResult::failure(SystemCommandError::nonZeroExit({}, message));
    };
    if (arguments ==
        QStringList {QStringLiteral("list"), QStringLiteral("--matching"), QStringLiteral("mouse"),
            QStringLiteral("--ndjson")}) {
        QString lines;
        for (const Mouse& mouse : std::as_const(m_mice)) {
            const QJsonObject object {{QStringLiteral("VendorID"), mouse.vendorID},
                {QStringLiteral("ProductID"), mouse.productID},
                {QStringLiteral("LocationID"), mouse.locationID},
                {QStringLiteral("Transport"), mouse.transport},
                {QStringLiteral("Product"), mouse.product},
                {QStringLiteral("Manufacturer"), mouse.manufacturer},
                {QStringLiteral("PrimaryUsagePage"), 1}, {QStringLiteral("PrimaryUsage"), 2}};
            lines += QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
                QLatin1Char('\n');
        }
        return SystemCommandResult::success(lines);
    }
    if (arguments.size() == 5 && arguments[0] == QLatin1String("property") &&
        arguments[1] == QLatin1String("--matching")) {
        const QList<Mouse*> mice = matching(arguments[2]);
        if (mice.isEmpty()) {
            return usage(QStringLiteral("no device matches %1").arg(arguments[2]));
        }
        return property(mice, arguments[3], arguments[4]);
    }
    return usage(QStringLiteral("unknown command; see --help"));
}

QList<SimulatedMice::Mouse*> SimulatedMice::matching(const QString& json)
{
    const QJsonObject criteria = QJsonDocument::fromJson(json.toUtf8()).object();
    QList<Mouse*> found;
    for (Mouse& mouse : m_mice) {
        const auto matches = [&criteria](const char* key, qint64 value) {
            const QJsonValue wanted = criteria.value(QLatin1String(key));
            return wanted.isUndefined() || wanted.toInteger(-1) == value;
        };
        if (!criteria.isEmpty() && matches("VendorID", mouse.vendorID) &&
            matches("ProductID", mouse.productID) && matches("LocationID", mouse.locationID)) {
            found.append(&mouse);
        }
    }
    return found;
}

SystemCommandResult SimulatedMice::property(
    const QList<Mouse*>& mice, const QString& action, const QString& value)
{
    if (action == QLatin1String("--get")) {
        QString table = QStringLiteral("RegistryID  Key                     Value\n");
        for (qsizetype i = 0; i < mice.size(); ++i) {
            const auto found = mice[i]->properties.constFind(value);
            if (found == mice[i]->properties.constEnd()) {
                return SystemCommandResult::failure(SystemCommandError::nonZeroExit(
                    {}, QStringLiteral("cannot read \"%1\"").arg(value)));
            }
            table += QStringLiteral("%1  %2  %3\n").arg(100 + i, -10).arg(value, -22).arg(*found);
        }
        return SystemCommandResult::success(table);
    }
    if (action == QLatin1String("--set")) {
        const QJsonObject writes = QJsonDocument::fromJson(value.toUtf8()).object();
        for (Mouse* mouse : mice) {
            for (auto it = writes.constBegin(); it != writes.constEnd(); ++it) {
                mouse->properties.insert(it.key(), it.value().toInteger());
            }
        }
        return SystemCommandResult::success({});
    }
    return SystemCommandResult::failure(SystemCommandError::nonZeroExit(
        {}, QStringLiteral("property takes --get <name> or --set <json>")));
}
