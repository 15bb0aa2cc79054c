// sound devices, sound priority, sound enable and sound disable: sound output priority from
// the command line. Listing refreshes the devices first, as the settings window does when it
// appears.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "sound/SoundPriorityModel.h"
#include "support/JsonWriter.h"

namespace {

// The slot holding id, 0 for none.
int slotOf(const SoundPriorityModel& model, const QString& id)
{
    const SoundPriorityModel::PriorityDeviceIDs slots = model.priorityDeviceIDs();
    for (auto it = slots.begin(); it != slots.end(); ++it) {
        if (it.value() == id) {
            return it.key();
        }
    }
    return 0;
}

QByteArray formatDevices(const SoundPriorityModel& model, bool json)
{
    JsonWriter writer(JsonWriter::Style::Pretty);
    QByteArray text;
    writer.beginArray();
    for (const SoundOutputDevice& device : model.devices()) {
        const int slot = slotOf(model, device.id);
        const bool current = model.currentOutputDeviceID() == device.id;
        if (!json) {
            text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                        .arg(device.id, device.name,
                            device.isAvailable ? QStringLiteral("connected")
                                               : QStringLiteral("disconnected"),
                            slot > 0 ? QString::number(slot) : QStringLiteral("-"),
                            current ? QStringLiteral("current") : QString())
                        .toUtf8();
            continue;
        }
        writer.beginObject();
        writer.key(u"id");
        writer.value(device.id);
        writer.key(u"name");
        writer.value(device.name);
        writer.key(u"isAvailable");
        writer.value(device.isAvailable);
        if (slot > 0) {
            writer.key(u"slot");
            writer.value(slot);
        }
        writer.key(u"current");
        writer.value(current);
        writer.endObject();
    }
    if (!json) {
        return text;
    }
    writer.endArray();
    writer.finish();
    return writer.result() + '\n';
}

CommandResult statusResult(const SoundPriorityModel& model)
{
    return CommandResult::output(model.statusMessage().value_or(QString()) + QLatin1Char('\n'));
}

} // namespace

void registerSoundCommands(CommandRegistry& registry)
{
    registry.addStatusLine([](const AppModels& models) {
        const SoundPriorityModel& sound = models.soundPriority;
        return QStringLiteral("soundPriority\t%1\t%2")
            .arg(sound.soundPriorityEnabled() ? QStringLiteral("on") : QStringLiteral("off"),
                sound.statusMessage().value_or(QString()));
    });

    CommandSpec devices;
    devices.words = QStringList {QStringLiteral("sound"), QStringLiteral("devices")};
    devices.summary = QStringLiteral(
        "The known output devices, connected ones first: identifier, name, connected or "
        "disconnected, priority slot (- for none) and \"current\" for the default output, "
        "separated by tabs.");
    devices.options = {{QStringLiteral("json"), {}, {},
        QStringLiteral("Print a JSON array of objects: id, name, isAvailable, slot (only for a "
                       "device in a slot) and current.")}};
    devices.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                             const CommandReply& reply) {
        SoundPriorityModel& sound = context.models.soundPriority;
        sound.refreshDevices();
        CommandResult result;
        result.standardOutput = formatDevices(sound, invocation.hasOption(QStringLiteral("json")));
        reply(result);
    };
    registry.add(std::move(devices));

    CommandSpec priority;
    priority.words = QStringList {QStringLiteral("sound"), QStringLiteral("priority")};
    priority.summary = QStringLiteral(
        "Put a device into a priority slot (1 is the most preferred), or empty the slot with "
        "none. A device sits in one slot only. Prints the status line.");
    priority.arguments = {{QStringLiteral("slot"), QStringLiteral("1 to 5")},
        {QStringLiteral("device"), QStringLiteral("a device identifier, or none")}};
    priority.inInstance = [](const CommandInvocation& invocation, const AppCommandContext& context,
                              const CommandReply& reply) {
        bool ok = false;
        const int slot = invocation.arguments.value(0).toInt(&ok);
        if (!ok || slot < 1 || slot > SoundPriorityModel::slotCount) {
            return reply(CommandResult::failure(
                QStringLiteral("the slot is a number from 1 to 5"), CommandExit::usage));
        }
        const QString device = invocation.arguments.value(1);
        SoundPriorityModel& sound = context.models.soundPriority;
        sound.setDeviceID(
            device == QLatin1String("none") ? std::nullopt : std::optional(device), slot);
        reply(statusResult(sound));
    };
    registry.add(std::move(priority));

    addFeatureSwitchCommands(
        registry, QStringLiteral("sound"),
        QStringLiteral("Turn sound priority on (as its status-menu item does)."),
        QStringLiteral("Turn sound priority off; the default output stays as it is."),
        [](const AppModels& models, bool on) { models.soundPriority.setSoundPriorityEnabled(on); },
        [](const AppModels& models) { return models.soundPriority.statusMessage(); });
}
