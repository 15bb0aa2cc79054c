#pragma once

// Both command runners over scripted answers, for the features' tests and the simulated world.
// Each command line (executable and arguments) answers with the result scripted for it, or,
// without one, with the launch failure a missing tool gives. Every call is recorded. The
// asynchronous runner delivers its result through the Scheduler, as the real one does.

#include "platform/Scheduler.h"
#include "platform/SystemCommands.h"

#include <QHash>
#include <QList>

class ScriptedSystemCommands final : public SystemDefaults, public SystemCommandExecutor
{
public:
    struct Call
    {
        QString executable;
        QStringList arguments;

        bool operator==(const Call& other) const = default;
    };

    explicit ScriptedSystemCommands(Scheduler& scheduler)
        : m_scheduler(scheduler)
    { }

    void script(
        const QString& executable, const QStringList& arguments, const SystemCommandResult& result);

    SystemCommandResult run(const QString& executable, const QStringList& arguments) override;
    TaskHandle run(
        const QString& executable, const QStringList& arguments, Completion done) override;

    const QList<Call>& calls() const { return m_calls; }

private:
    SystemCommandResult answer(const QString& executable, const QStringList& arguments);

    Scheduler& m_scheduler;
    QHash<QStringList, SystemCommandResult> m_results;
    QList<Call> m_calls;
};
