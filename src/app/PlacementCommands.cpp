// monitors and placement: the monitor configuration as window placement records it, and the
// feature driven from the command line the way its settings tab drives it.

#include "AppCommandContext.h"
#include "ApplicationCommands.h"
#include "placement/MonitorDescriptor.h"
#include "placement/WindowPlacementModel.h"
#include "support/Uuid.h"

#include <QStringBuilder>

namespace {

using Handler = std::function<CommandResult(const CommandInvocation&, WindowPlacementModel&)>;

CommandSpec placementCommand(
    const QString& word, const QString& summary, QList<CommandArgument> arguments, Handler run)
{
    CommandSpec spec;
    spec.words = QStringList {QStringLiteral("placement"), word};
    spec.summary = summary;
    spec.arguments = std::move(arguments);
    spec.inInstance = [run](const CommandInvocation& invocation, const AppCommandContext& context,
                          const CommandReply& reply) {
        reply(run(invocation, context.models.windowPlacement));
    };
    return spec;
}

QString statusLine(const WindowPlacementModel& model)
{
    return model.statusMessage().value_or(QString()) + QLatin1Char('\n');
}

// The status line on standard output when the operation did what was asked, else as the
// failure's message.
CommandResult outcome(const WindowPlacementModel& model, bool succeeded)
{
    return succeeded ? CommandResult::output(statusLine(model))
                     : CommandResult::failure(model.statusMessage().value_or(QString()));
}

QString frameText(const WindowRect& frame)
{
    const auto number = [](double value) {
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    };
    return number(frame.width) % QLatin1Char('x') % number(frame.height) % QStringLiteral(" @ (") %
        number(frame.x) % QStringLiteral(", ") % number(frame.y) % QLatin1Char(')');
}

} // namespace

void registerPlacementCommands(CommandRegistry& registry)
{
    CommandSpec monitors;
    monitors.words = QStringList {QStringLiteral("monitors")};
    monitors.summary = QStringLiteral(
        "The attached monitor configuration: its signature, then its description, each on a "
        "line after a label and a tab.");
    monitors.inInstance = [](const CommandInvocation&, const AppCommandContext& context,
                              const CommandReply& reply) {
        const MonitorConfiguration configuration =
            monitorConfiguration(monitorDescriptors(context.displays.displays()));
        reply(CommandResult::output(QStringLiteral("signature\t") + configuration.signature +
            QStringLiteral("\ndescription\t") + configuration.description + QLatin1Char('\n')));
    };
    registry.add(std::move(monitors));

    registry.addStatusLine([](const AppModels& models) {
        const WindowPlacementModel& placement = models.windowPlacement;
        return QStringLiteral("windowPlacement\t%1\t%2")
            .arg(placement.windowPlacementEnabled() ? QStringLiteral("on") : QStringLiteral("off"),
                placement.statusMessage().value_or(QString()));
    });

    registry.add(placementCommand(QStringLiteral("windows"),
        QStringLiteral("The windows that can be registered: id, application and detail, "
                       "separated by tabs."),
        {}, [](const CommandInvocation&, WindowPlacementModel& model) {
            model.refreshAvailableWindows();
            QString text;
            for (const RunningWindowSnapshot& window : model.availableWindows()) {
                text += window.id % QLatin1Char('\t') % window.appName % QLatin1Char('\t') %
                    window.detailLine() % QLatin1Char('\n');
            }
            return CommandResult::output(text);
        }));

    registry.add(placementCommand(QStringLiteral("register"),
        QStringLiteral("Register the window's place for the attached monitor configuration."),
        {{QStringLiteral("window id"), QStringLiteral("an id from `norvale placement windows`")}},
        [](const CommandInvocation& invocation, WindowPlacementModel& model) {
            model.refreshAvailableWindows();
            model.setSelectedAvailableWindowID(invocation.arguments.value(0));
            model.registerSelectedWindow();
            const QString status = model.statusMessage().value_or(QString());
            return outcome(model,
                status.startsWith(QStringLiteral("登録しました: ")) ||
                    status.startsWith(QStringLiteral("既存登録を更新しました: ")));
        }));

    CommandSpec rules = placementCommand(QStringLiteral("rules"),
        QStringLiteral("Every registered rule: id, application, title, monitor configuration "
                       "and frame, separated by tabs; with --json the stored document."),
        {}, [](const CommandInvocation& invocation, WindowPlacementModel& model) {
            if (invocation.hasOption(QStringLiteral("json"))) {
                return CommandResult::output(
                    QString::fromUtf8(WindowPlacementRuleStore::encode(model.rules())) +
                    QLatin1Char('\n'));
            }
            QString text;
            for (const WindowPlacementRule& rule : model.rules()) {
                text += Uuid::toText(rule.id) % QLatin1Char('\t') % rule.appName %
                    QLatin1Char('\t') % displayedWindowTitle(rule.windowTitle) % QLatin1Char('\t') %
                    rule.monitorDescription % QLatin1Char('\t') % frameText(rule.targetFrame) %
                    QLatin1Char('\n');
            }
            return CommandResult::output(text);
        });
    rules.options = {{QStringLiteral("json"), QString(), {},
        QStringLiteral("the rules as stored (one JSON array)")}};
    registry.add(std::move(rules));

    registry.add(placementCommand(QStringLiteral("remove"), QStringLiteral("Remove a rule."),
        {{QStringLiteral("rule id"), QStringLiteral("an id from `norvale placement rules`")}},
        [](const CommandInvocation& invocation, WindowPlacementModel& model) {
            const std::optional<QUuid> id = Uuid::parse(invocation.arguments.value(0));
            const qsizetype before = model.rules().size();
            if (id) {
                model.removeRule(*id);
            }
            if (model.rules().size() == before) {
                return CommandResult::failure(QStringLiteral("no rule has that id"));
            }
            return CommandResult::output(statusLine(model));
        }));

    registry.add(placementCommand(QStringLiteral("apply"),
        QStringLiteral("Apply the rules of the attached monitor configuration now and print "
                       "the status line."),
        {}, [](const CommandInvocation&, WindowPlacementModel& model) {
            model.applyNow();
            return CommandResult::output(statusLine(model));
        }));

    for (const bool enable : {true, false}) {
        registry.add(placementCommand(enable ? QStringLiteral("enable") : QStringLiteral("disable"),
            enable ? QStringLiteral("Switch window placement on.")
                   : QStringLiteral("Switch window placement off."),
            {}, [enable](const CommandInvocation&, WindowPlacementModel& model) {
                model.setWindowPlacementEnabled(enable);
                return CommandResult::output(statusLine(model));
            }));
    }
}
