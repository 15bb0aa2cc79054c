#pragma once

// Takes the user back to the application they came from after the quick panel.
//
// It remembers the last frontmost application that is not Norvale (once when tracking starts,
// then on every activation, and right before the panel opens), re-activates it when the panel
// closes after a copy that is not pasted (a one-shot request), and pastes into it: 0.12 s after
// the request the remembered application is activated when it still runs, 0.08 s later Ctrl+V
// is sent, and shortcut handling stays suppressed for 0.25 s from the keystroke so that the
// synthetic keys are not taken for a shortcut. Every delay runs on the Scheduler.
//
// Ctrl+V is sent only when the remembered window is the active one at the moment of the
// keystroke. When it has gone, or the window manager refused to activate it, nothing is sent
// and the entry simply stays on the clipboard: a keystroke into whatever happens to be in front
// could put a password into a window the user never chose.

#include "platform/Scheduler.h"
#include "platform/Workspace.h"

#include <QObject>

#include <optional>

class SyntheticKeyboard;

class PasteBackController final : public QObject
{
    Q_OBJECT

public:
    PasteBackController(Workspace& workspace, SyntheticKeyboard& keyboard, Scheduler& scheduler,
        QObject* parent = nullptr);

    // Remembers the frontmost application now and after every activation.
    void startTracking();
    // Remembers the frontmost application unless it is Norvale.
    void captureActivePasteTarget();

    // Whether the next quickPanelDidClose() re-activates the remembered application.
    void setRestoreAfterClose(bool restore);
    void quickPanelDidClose();
    void pasteToLastActiveApplication();
    // Termination: nothing is re-activated or pasted any more.
    void stop();

    // True while a synthetic paste is in flight; shortcut recognition ignores its keys.
    bool suppressShortcutHandling() const { return m_suppressShortcutHandling; }

private:
    void rememberApplication(const RunningApplication& application);
    void postPasteShortcut(const std::optional<RunningApplication>& target);

    Workspace& m_workspace;
    SyntheticKeyboard& m_keyboard;
    Scheduler& m_scheduler;
    std::optional<RunningApplication> m_lastNonSelfFrontmostApplication;
    TimerHandle m_pasteStep;
    bool m_restoreAfterClose = false;
    bool m_suppressShortcutHandling = false;
    bool m_stopped = false;
};
