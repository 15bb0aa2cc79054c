#include "SimWorkspace.h"

SimWorkspace::SimWorkspace(
    Scheduler& scheduler, qint64 ownProcessId, QString ownApplicationId, QObject* parent)
    : Workspace(parent)
    , m_scheduler(scheduler)
    , m_ownProcessId(ownProcessId)
    , m_ownApplicationId(std::move(ownApplicationId))
{ }

std::optional<RunningApplication> SimWorkspace::frontmostApplication() const
{
    return m_frontmost;
}

bool SimWorkspace::isOwnApplication(const RunningApplication& application) const
{
    if (application.processId != 0) {
        return application.processId == m_ownProcessId;
    }
    return !application.applicationId.isEmpty() && application.applicationId == m_ownApplicationId;
}

bool SimWorkspace::isTerminated(const RunningApplication& application) const
{
    return m_terminated.contains(application.windowID);
}

bool SimWorkspace::activate(const RunningApplication& application)
{
    if (isTerminated(application)) {
        return false;
    }
    record(application, false, !m_refuses);
    if (!m_refuses) {
        setFrontmost(application);
    }
    return true;
}

void SimWorkspace::activateOwnWindow(quint64 windowID)
{
    const RunningApplication own = ownApplication(windowID);
    record(own, true, !m_refuses);
    if (!m_refuses) {
        setFrontmost(own);
    }
}

void SimWorkspace::prepareAuxiliaryWindow(quint64 windowID)
{
    m_auxiliaryWindows.insert(windowID);
}

void SimWorkspace::setFrontmost(const RunningApplication& application)
{
    if (m_frontmost == application) {
        return;
    }
    m_terminated.remove(application.windowID);
    m_frontmost = application;
    Q_EMIT applicationActivated(application);
}

void SimWorkspace::clearFrontmost()
{
    m_frontmost.reset();
}

void SimWorkspace::terminate(quint64 windowID)
{
    m_terminated.insert(windowID);
    if (m_frontmost && m_frontmost->windowID == windowID) {
        m_frontmost.reset();
    }
}

void SimWorkspace::setRefusesActivation(bool refuses)
{
    m_refuses = refuses;
}

RunningApplication SimWorkspace::ownApplication(quint64 windowID) const
{
    return RunningApplication {
        windowID, m_ownProcessId, m_ownApplicationId, QStringLiteral("Norvale")};
}

void SimWorkspace::record(const RunningApplication& application, bool own, bool honoured)
{
    m_activations.append({application, m_scheduler.uptime(), own, honoured});
}
