#include "SimGlobalKeyMonitor.h"

void SimGlobalKeyMonitor::install(GlobalKeyEvent::Types types)
{
    if (m_available) {
        m_installed = types;
    }
}

bool SimGlobalKeyMonitor::type(const GlobalKeyEvent& event)
{
    if (!m_installed || !m_installed->testFlag(event.type)) {
        return false;
    }
    Q_EMIT keyEvent(event);
    return true;
}
