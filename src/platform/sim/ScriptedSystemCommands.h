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

    // Held, asynchronous runs stay in flight until finish() ends them, so that a test can end
    // overlapping runs in any order. A cancelled run stays in flight too, as a started process
    // does.
    void hold() { m_holding = true; }
    qsizetype runsInFlight() const { return m_inFlight.size(); }
    // Ends the run at index (in starting order): its result arrives on the next turn.
    Call finish(qsizetype index);

private:
    struct InFlight
    {
        Call call;
        SystemCommandResult result;
        CancelToken token;
        Completion done;
    };

    SystemCommandResult answer(const QString& executable, const QStringList& arguments);
    void deliver(const CancelToken& token, SystemCommandResult result, Completion done);

    Scheduler& m_scheduler;
    QHash<QStringList, SystemCommandResult> m_results;
    Responder m_responder;
    QList<Call> m_calls;
    bool m_holding = false;
    QList<InFlight> m_inFlight;
};
