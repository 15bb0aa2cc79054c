#pragma once

// Other applications as the shell sees them: which one is frontmost, whether one is still
// running, and bringing one to the front. On X11 an "application" is identified by its
// top-level window (XID), its process id and its WM_CLASS class; it has terminated when the
// window is gone. Activation is a request the window manager may refuse.

#include <QObject>
#include <QString>

#include <optional>

struct RunningApplication
{
    quint64 windowID = 0;
    qint64 processId = 0;
    QString applicationId; // desktop-file id or WM_CLASS class
    QString title;

    bool operator==(const RunningApplication& other) const = default;
};

class Workspace : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~Workspace() override = default;

    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Norvale's own windows: _NET_WM_PID equals our pid, or our class when there is no pid.
    virtual bool isOwnApplication(const RunningApplication& application) const = 0;
    virtual bool isTerminated(const RunningApplication& application) const = 0;
    // Asks the window manager to activate the application's window; false when the request
    // could not even be sent.
    virtual bool activate(const RunningApplication& application) = 0;
    // Brings Norvale's given top-level window to the front the same way.
    virtual void activateOwnWindow(quint64 windowID) = 0;
    // Makes Norvale's given top-level window, before it is shown, an auxiliary window that
    // stays off the taskbar and the pager (the quick panel).
    virtual void prepareAuxiliaryWindow(quint64 windowID) = 0;

Q_SIGNALS:
    // The frontmost application changed (any application, Norvale's own included).
    void applicationActivated(const RunningApplication& application);
};
