#pragma once

// A scriptable desktop of applications for tests. The test makes an application frontmost
// (as a user's click would), terminates one, or makes the window manager refuse activation
// requests; every activation request is recorded with the scheduler's uptime.

#include "platform/Scheduler.h"
#include "platform/Workspace.h"

#include <QList>
#include <QSet>

class SimWorkspace final : public Workspace
{
    Q_OBJECT

public:
    struct Activation
    {
        RunningApplication application;
        double uptime = 0;
        bool own = false; // activateOwnWindow
        bool honoured = false;
    };

    explicit SimWorkspace(Scheduler& scheduler, qint64 ownProcessId = 4242,
        QString ownApplicationId = QStringLiteral("Norvale"), QObject* parent = nullptr);

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isOwnApplication(const RunningApplication& application) const override;
    bool isTerminated(const RunningApplication& application) const override;
    // Sent unless the window is gone; honoured (the window becomes frontmost) unless refusing.
    bool activate(const RunningApplication& application) override;
    void activateOwnWindow(quint64 windowID) override;
    void prepareAuxiliaryWindow(quint64 windowID) override;

    // A user brings the application to the front: emits applicationActivated when it changes.
    void setFrontmost(const RunningApplication& application);
    // Nothing is frontmost (the desktop has focus); no signal.
    void clearFrontmost();
    // The window goes away; when it was frontmost nothing is frontmost afterwards.
    void terminate(quint64 windowID);
    void setRefusesActivation(bool refuses);
    // Norvale's own window as this workspace describes it.
    RunningApplication ownApplication(quint64 windowID) const;

    QList<Activation> activations() const { return m_activations; }
    void clearActivations() { m_activations.clear(); }
    bool isAuxiliaryWindow(quint64 windowID) const { return m_auxiliaryWindows.contains(windowID); }

private:
    void record(const RunningApplication& application, bool own, bool honoured);

    Scheduler& m_scheduler;
    qint64 m_ownProcessId;
    QString m_ownApplicationId;
    std::optional<RunningApplication> m_frontmost;
    QSet<quint64> m_terminated;
    bool m_refuses = false;
    QList<Activation> m_activations;
    QSet<quint64> m_auxiliaryWindows;
};
