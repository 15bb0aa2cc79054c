#pragma once

// The command lines of the HID helper, in the form the mouse feature runs its HID utility:
//   list --matching mouse --ndjson
//   property --matching <json> --get <name>
//   property --matching <json> --set <json>
// Output goes to out, errors to err with a non-zero exit code. Devices come from sysfs, their
// settings from the X server's pointers; both are passed in, so the whole command set runs
// against a prepared tree and a fake server in tests.

#include "HidPropertyMapping.h"
#include "PointerProperties.h"
#include "SysfsPointingDevices.h"
#include "platform/SystemCommands.h"

#include <QJsonObject>
#include <QStringList>

class HidPropertyState;
class QIODevice;

class HidUtilCommand final
{
public:
    // statePath: the file that keeps the raw values last written (see HidPropertyState).
    HidUtilCommand(const SysfsPointingDevices& devices, PointerProperties& pointers,
        QString statePath, QIODevice& out, QIODevice& err);

    // Exit code: 0 on success, 1 on a failure, 2 on a command line that is not understood.
    int run(const QStringList& arguments);

    static QString helpText();
    // What "list --matching mouse --ndjson" prints: one JSON line per device.
    static QByteArray listing(const SysfsPointingDevices& devices);
    // Answers the listing in the command runner without starting the helper at helperPath;
    // while the helper is not installed there, the run fails as it would.
    static InProcessCommand inProcessListing(const QString& helperPath);

private:
    // One X pointer of a matching device, and the key its written values are kept under.
    struct Target
    {
        int pointer = 0;
        QString stateKey;
    };

    using Write = std::pair<HidPropertyMapping, qint64>;

    int list(const QStringList& arguments);
    int property(const QStringList& arguments);
    int get(const QList<Target>& targets, const QString& name);
    int set(const QList<Target>& targets, const QList<Write>& writes);
    static bool parseWrites(const QJsonObject& values, QList<Write>* writes, QString* error);
    std::optional<QList<HidPointingDevice>> matchingDevices(
        const QJsonObject& matching, QString* error) const;
    std::optional<QList<Target>> targets(const QList<HidPointingDevice>& devices, QString* error);
    int fail(const QString& message, int code = 1);

    const SysfsPointingDevices& m_devices;
    PointerProperties& m_pointers;
    QString m_statePath;
    QIODevice& m_out;
    QIODevice& m_err;
};
