#include "PasteBackController.h"

#include "platform/SyntheticKeyboard.h"

namespace {

constexpr double activationDelay = 0.12;
constexpr double keystrokeDelay = 0.08;
constexpr double suppressionDuration = 0.25;

} // namespace

PasteBackController::PasteBackController(
    Workspace& workspace, SyntheticKeyboard& keyboard, Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_keyboard(keyboard)
    , m_scheduler(scheduler)
{ }

void PasteBackController::startTracking()
{
    captureActivePasteTarget();
    connect(&m_workspace, &Workspace::applicationActivated, this,
        &PasteBackController::rememberApplication);
}

void PasteBackController::captureActivePasteTarget()
{
    if (const auto frontmost = m_workspace.frontmostApplication()) {
        rememberApplication(*frontmost);
    }
}

void PasteBackController::rememberApplication(const RunningApplication& application)
{
    if (application.windowID == 0 || m_workspace.isOwnApplication(application)) {
        return;
    }
    m_lastNonSelfFrontmostApplication = application;
}

void PasteBackController::setRestoreAfterClose(bool restore)
{
    m_restoreAfterClose = restore;
}

void PasteBackController::quickPanelDidClose()
{
    const bool restore = std::exchange(m_restoreAfterClose, false);
    if (restore && !m_stopped && m_lastNonSelfFrontmostApplication &&
        !m_workspace.isTerminated(*m_lastNonSelfFrontmostApplication)) {
        m_workspace.activate(*m_lastNonSelfFrontmostApplication);
    }
}

void PasteBackController::pasteToLastActiveApplication()
{
    if (m_stopped) {
        return;
    }
    const std::optional<RunningApplication> target = m_lastNonSelfFrontmostApplication;
    m_pasteStep = m_scheduler.postDelayed(activationDelay, [this, target] {
        if (target && !m_workspace.isTerminated(*target)) {
            m_workspace.activate(*target);
        }
        m_pasteStep = m_scheduler.postDelayed(keystrokeDelay, [this, target] {
            m_suppressShortcutHandling = true;
            postPasteShortcut(target);
            m_pasteStep = m_scheduler.postDelayed(
                suppressionDuration, [this] { m_suppressShortcutHandling = false; });
        });
    });
}

void PasteBackController::postPasteShortcut(const std::optional<RunningApplication>& target)
{
    if (!m_keyboard.isTrusted() || !target) {
        return;
    }
    // Only into the window the user came from: if it has gone or the window manager did not
    // bring it to the front, the keystroke would land somewhere the user never chose.
    const auto frontmost = m_workspace.frontmostApplication();
    if (!frontmost || frontmost->windowID != target->windowID ||
        m_workspace.isTerminated(*target)) {
        return;
    }
    m_keyboard.postPasteShortcut();
}

void PasteBackController::stop()
{
    m_stopped = true;
    m_restoreAfterClose = false;
    m_pasteStep.cancel();
    m_suppressShortcutHandling = false;
}
