// mouse devices, mouse set, mouse enable and mouse disable: mouse adjustment from the command
// line, and its line in `norvale status`. Listing refreshes the devices first, as the settings
// tab's reload button does, and answers once that refresh has ended.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "mouse/MouseSettingsModel.h"
#include "support/JsonWriter.h"

#include <QStringBuilder>

#include <algorithm>

namespace {

QByteArray formatDevices(const MouseSettingsModel& model, bool json)
{
    const QString selected = model.selectedDeviceID().value_or(QString());
    if (!json) {
        QString text;
        for (const MouseDevice& device : model.devices()) {
            text += device.id() % QLatin1Char('\t') % device.displayName() % QLatin1Char('\t') %
                (device.id() == selected ? QStringLiteral("selected") : QString()) %
                QLatin1Char('\n');
        }
        return text.toUtf8();
    }
    JsonWriter writer(JsonWriter::Style::Pretty);
    writer.beginArray();
    for (const MouseDevice& device : model.devices()) {
        writer.beginObject();
        writer.key(u"id");
        writer.value(device.id());
        writer.key(u"name");
        writer.value(device.displayName());
        writer.key(u"vendorID");
        writer.value(device.vendorID);
        writer.key(u"productID");
        writer.value(device.productID);
        writer.key(u"locationID");
        writer.value(device.locationID);
        writer.key(u"selected");
        writer.value(device.id() == selected);
        writer.endObject();
    }
    writer.endArray();
    writer.finish();
    return writer.result() + '\n';
}

struct TunedSetting
{
    QString name;
    void (MouseSettingsModel::*set)(qint64);
    qint64 (MouseSettingsModel::*get)() const;
};

const QList<TunedSetting>& tunedSettings()
{
    static const QList<TunedSetting> settings {
        {QStringLiteral("wheel"), &MouseSettingsModel::setWheelSpeedLevel,
            &MouseSettingsModel::wheelSpeedLevel},
        {QStringLiteral("cursor-speed"), &MouseSettingsModel::setCursorSpeedLevel,
            &MouseSettingsModel::cursorSpeedLevel},
        {QStringLiteral("acceleration"), &MouseSettingsModel::setCursorAccelerationLevel,
            &MouseSettingsModel::cursorAccelerationLevel},
    };
    return settings;
}

// Calls done once, with the outcome of the device refresh that ends next.
void whenDevicesRefreshed(MouseSettingsModel& mouse, std::function<void(bool)> done)
{
    auto* receiver = new QObject(&mouse);
    QObject::connect(&mouse, &MouseSettingsModel::devicesRefreshFinished, receiver,
        [&mouse, receiver, done](bool succeeded) {
            QObject::disconnect(&mouse, nullptr, receiver, nullptr);
            receiver->deleteLater();
            done(succeeded);
        });
}

void listDevices(const CommandInvocation& invocation, const AppCommandContext& context,
    const CommandReply& reply)
{
    MouseSettingsModel& mouse = context.models.mouseSettings;
    const bool json = invocation.hasOption(QStringLiteral("json"));
    whenDevicesRefreshed(mouse, [&mouse, json, reply](bool succeeded) {
        reply(succeeded ? CommandResult::output(QString::fromUtf8(formatDevices(mouse, json)))
                        : CommandResult::failure(mouse.statusMessage().value_or(QString())));
    });
    mouse.scheduleRefreshDevices();
}

// Switching on starts a device refresh whose end sets the status line; switching off answers
// with the line as it stands, since what follows may leave it unchanged.
void switchMouseAdjustment(const AppModels& models, bool on, const std::function<void()>& settled)
{
    MouseSettingsModel& mouse = models.mouseSettings;
    if (!on || mouse.mouseAdjustmentEnabled()) {
        mouse.setMouseAdjustmentEnabled(on);
        return settled();
    }
    whenDevicesRefreshed(mouse, [settled](bool) { settled(); });
    mouse.setMouseAdjustmentEnabled(true);
}

} // namespace

void registerMouseCommands(CommandRegistry& registry)
{
    registry.addStatusLine([](const AppModels& models) {
        const MouseSettingsModel& mouse = models.mouseSettings;
        return QStringLiteral("mouseAdjustment\t%1\t%2")
            .arg(mouse.mouseAdjustmentEnabled() ? QStringLiteral("on") : QStringLiteral("off"),
                mouse.statusMessage().value_or(QString()));
    });

    CommandSpec devices;
    devices.words = QStringList {QStringLiteral("mouse"), QStringLiteral("devices")};
    devices.summary = QStringLiteral(
        "Look for the attached mice and list them: identifier, name and \"selected\" for the "
        "one being tuned, separated by tabs.");
    devices.options = {{QStringLiteral("json"), {}, {},
        QStringLiteral("Print a JSON array of objects: id, name, vendorID, productID, locationID "
                       "and selected.")}};
    devices.inInstance = listDevices;
    registry.add(std::move(devices));

    CommandSpec set;
    set.words = QStringList {QStringLiteral("mouse"), QStringLiteral("set")};
    set.summary = QStringLiteral(
        "Store a level as the mouse tab does (brought into its range: wheel and cursor-speed "
        "1 to 20, acceleration 0 to 20) and print the setting and the level stored.");
    set.arguments = {
        {QStringLiteral("setting"), QStringLiteral("wheel, cursor-speed or acceleration")},
        {QStringLiteral("level"), QStringLiteral("a whole number")}};
    set.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                         const CommandReply& reply) {
        const QString name = invocation.arguments.value(0);
        const auto setting = std::find_if(tunedSettings().begin(), tunedSettings().end(),
            [&name](const TunedSetting& candidate) { return candidate.name == name; });
        if (setting == tunedSettings().end()) {
            return reply(CommandResult::failure(
                QStringLiteral("the setting is wheel, cursor-speed or acceleration"),
                CommandExit::usage));
        }
        bool ok = false;
        const qint64 level = invocation.arguments.value(1).toLongLong(&ok);
        if (!ok) {
            return reply(CommandResult::failure(
                QStringLiteral("the level is a whole number"), CommandExit::usage));
        }
        MouseSettingsModel& mouse = context.models.mouseSettings;
        (mouse.*setting->set)(level);
        reply(CommandResult::output(name % QLatin1Char('\t') %
            QString::number((mouse.*setting->get)()) % QLatin1Char('\n')));
    };
    registry.add(std::move(set));

    addFeatureSwitchCommands(registry, QStringLiteral("mouse"),
        QStringLiteral("Turn mouse adjustment on (as its status-menu item does)."),
        QStringLiteral("Turn mouse adjustment off; the mouse's own values and the system scroll "
                       "direction are put back."),
        FeatureSwitch(switchMouseAdjustment),
        [](const AppModels& models) { return models.mouseSettings.statusMessage(); });
}
