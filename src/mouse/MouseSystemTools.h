#pragma once

// Where the mouse feature finds the system's tools, and how it reads and writes the system's
// scroll direction ("natural scrolling"). The HID utility is the system's own where there is
// one, or the helper installed with the application.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DefaultsStore;
class SystemDefaults;

struct MouseSystemTools
{
    QString hidUtility;
    QString processLister = QStringLiteral("/bin/ps");
    QString processKiller = QStringLiteral("/usr/bin/pkill");
    // The current natural-scrolling setting; true where the system has none.
    std::function<bool()> readNaturalScrolling;
    // The command line that writes it, or nothing where there is no such setting (a restore
    // then succeeds without doing anything).
    std::function<std::optional<QStringList>(bool natural)> naturalScrollingCommand;

    // The system utility and the global preferences domain of the defaults store, written
    // through the defaults tool.
    static MouseSystemTools withDefaultsTool(const DefaultsStore& defaults);
    // GNOME's natural-scroll key through the gsettings tool (run without a shell); where the key
    // does not exist or cannot be written, the system has no such setting.
    static MouseSystemTools withGSettings(SystemDefaults& runner, QString hidUtility);
};
