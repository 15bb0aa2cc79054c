#include "MouseSystemTools.h"

#include "platform/DefaultsStore.h"
#include "platform/SystemCommands.h"

MouseSystemTools MouseSystemTools::withDefaultsTool(const DefaultsStore& defaults)
{
    MouseSystemTools tools;
    tools.hidUtility = QStringLiteral("/usr/bin/hidutil");
    tools.readNaturalScrolling = [&defaults] {
        const DefaultsValue value = defaults.foreignValue(
            QStringLiteral("NSGlobalDomain"), QStringLiteral("com.apple.swipescrolldirection"));
        if (const bool* flag = std::get_if<bool>(&value)) {
            return *flag;
        }
        if (const qint64* number = std::get_if<qint64>(&value)) {
            return *number != 0;
        }
        if (const double* number = std::get_if<double>(&value)) {
            return *number != 0.0;
        }
        return true;
    };
    tools.naturalScrollingCommand = [](bool natural) -> std::optional<QStringList> {
        return QStringList {QStringLiteral("/usr/bin/defaults"), QStringLiteral("write"),
            QStringLiteral("-g"), QStringLiteral("com.apple.swipescrolldirection"),
            QStringLiteral("-bool"), natural ? QStringLiteral("true") : QStringLiteral("false")};
    };
    return tools;
}

MouseSystemTools MouseSystemTools::withGSettings(SystemDefaults& runner, QString hidUtility)
{
    static const QString Tool = QStringLiteral("/usr/bin/gsettings");
    static const QStringList Key {
        QStringLiteral("org.gnome.desktop.peripherals.mouse"), QStringLiteral("natural-scroll")};
    const auto answers = [&runner](const QString& command, const QString& answer) {
        const SystemCommandResult result = runner.run(Tool, QStringList {command} + Key);
        return result.isSuccess() && result.text().trimmed() == answer;
    };
    MouseSystemTools tools;
    tools.hidUtility = std::move(hidUtility);
    tools.readNaturalScrolling = [answers] {
        return !answers(QStringLiteral("get"), QStringLiteral("false"));
    };
    tools.naturalScrollingCommand = [answers](bool natural) -> std::optional<QStringList> {
        if (!answers(QStringLiteral("writable"), QStringLiteral("true"))) {
            return std::nullopt;
        }
        return QStringList {Tool, QStringLiteral("set")} + Key +
            QStringList {natural ? QStringLiteral("true") : QStringLiteral("false")};
    };
    return tools;
}
