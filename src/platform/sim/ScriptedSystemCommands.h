#pragma once

// Both command runners over scripted answers, for the features' tests and the simulated world.
// Each command line (executable and arguments) answers with the result scripted for it, or,
// without one, with what the responder (when there is one) makes of it, or else with the launch
// failure a missing tool gives. Every call is recorded. The
// asynchronous runner delivers its result through the Scheduler, as the real one does.

#include "platform/Scheduler.h"
#include "platform/SystemCommands.h"

#include <QHash>
#include <QList>

#include <functional>

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

    using Responder =
        std::function<SystemCommandResult(const QString& executable, const QStringList& arguments)>;

    void script(
        const QString& executable, const QStringList& arguments, const SystemCommandResult& result);
    // Answers every command line without a scripted result: a stateful fake of a tool.
    void setResponder(Responder responder) { m_responder = std::move(responder); }

    SystemCommandResult run(const QString& executable, const QStringList& arguments) override;
    TaskHandle run(
        const QString& executable, const QStringList& arguments, Completion done) override;

    const QList<Call>& calls() const { return m_calls; }

private:
    SystemCommandResult answer(const QString& executable, const QStringList& arguments);

    Scheduler& m_scheduler;
    QHash<QStringList, SystemCommandResult> m_results;
    Responder m_responder;
    QList<Call> m_calls;
};
