#pragma once

// The frontmost application on an EWMH desktop: _NET_ACTIVE_WINDOW on the root window, its
// _NET_WM_PID and WM_CLASS. Activation is a _NET_ACTIVE_WINDOW client message with source
// indication 2 (a pager's request): focus-stealing prevention honours those, while it may
// refuse an application's own request (source 1, what QWindow::requestActivate sends).
//
// Qt has no skip-taskbar / skip-pager flag on X11, and it merges the _NET_WM_STATE atoms
// already on an unmapped window with its own when it maps it: an auxiliary window gets them
// beforehand, through Qt's own connection so that they precede its map request.

#include "platform/Workspace.h"

#include <memory>

class X11Connection;

class LinuxWorkspace final : public Workspace
{
    Q_OBJECT

public:
    explicit LinuxWorkspace(QObject* parent = nullptr);
    ~LinuxWorkspace() override;

    // False without an X11 display; then nothing is tracked and activation is not sent.
    bool isAvailable() const;

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isOwnApplication(const RunningApplication& application) const override;
    bool isTerminated(const RunningApplication& application) const override;
    bool activate(const RunningApplication& application) override;
    void activateOwnWindow(quint64 windowID) override;
    void prepareAuxiliaryWindow(quint64 windowID) override;

    // The WM_CLASS class Qt gives our windows (the application name, or the capitalised
    // program name when none is set).
    static QString ownWindowClass();

private:
    void handleEvent(const void* event);
    void activeWindowChanged();
    RunningApplication describe(quint64 windowID) const;
    bool sendActivation(quint64 windowID);

    std::shared_ptr<X11Connection> m_x11;
    quint64 m_lastActiveWindow = 0;
    qint64 m_lastActiveProcess = 0;
};
