#include "MouseSystemTools.h"

#include "platform/DefaultsStore.h"

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
