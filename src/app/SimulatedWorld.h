#pragma once

// The sample desk of `norvale --simulate`: three displays, three application windows (one of
// them registered), two sound outputs ranked below a headset that is gone, the Dock's earlier
// setting, two mice behind a HID utility with a conflicting mouse utility running, and a
// clipboard history and phrase folders to start with, so that every feature and settings tab
// can be tried and shown on a machine without those services. All sample data lives here.

#include "platform/SystemCommandError.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class CommandRegistry;
struct AppPlatform;

namespace SimulatedWorld {

// Fills the simulated platform's services and writes the sample history and phrases into its
// (private, temporary) data folder before any model reads them.
void furnish(AppPlatform& platform);

// The commands only `norvale --simulate` has: another application's copy of a text or an image
// file (`world copy <text>`, `world copy-image <file>`), since nothing else reaches the simulated
// clipboard.
void registerCommands(CommandRegistry& registry);

} // namespace SimulatedWorld

// The HID utility of two sample mice, answering the commands the mouse feature runs: the
// device listing, and property reads and writes of the pointer and mouse acceleration, whose
// written values later reads return. The process lister answers with a desktop that runs a
// conflicting mouse utility; anything else fails to launch, as a missing tool does. The simulated
// world runs it as the responder of its command runner.
class SimulatedMice final
{
public:
    SimulatedMice(QString hidUtility, QString processLister);

    SystemCommandResult answer(const QString& executable, const QStringList& arguments);

private:
    struct Mouse
    {
        qint64 vendorID;
        qint64 productID;
        qint64 locationID;
        QString transport;
        QString product;
        QString manufacturer;
        QHash<QString, qint64> properties;
    };

    SystemCommandResult utility(const QStringList& arguments);
    SystemCommandResult property(
        const QList<Mouse*>& mice, const QString& action, const QString& value);
    QList<Mouse*> matching(const QString& json);

    QString m_hidUtility;
    QString m_processLister;
    QList<Mouse> m_mice;
};
