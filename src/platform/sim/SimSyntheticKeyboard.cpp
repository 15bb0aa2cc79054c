#include "SimSyntheticKeyboard.h"

SimSyntheticKeyboard::SimSyntheticKeyboard(Scheduler& scheduler, const Workspace* workspace)
    : m_scheduler(scheduler)
    , m_workspace(workspace)
{ }

bool SimSyntheticKeyboard::postPasteShortcut()
{
    if (!m_trusted) {
        return false;
    }
    Keystroke keystroke;
    keystroke.uptime = m_scheduler.uptime();
    if (m_workspace != nullptr) {
        keystroke.target = m_workspace->frontmostApplication();
    }
    m_keystrokes.append(keystroke);
    return true;
}
