#pragma once

// Other applications and their windows, as window placement reads and moves them: the running
// applications, the desktop's window list, and per application its window elements with
// their position, size and title, which can be written. Frames are in the global top-left
// desktop space (y downwards) and include the window manager's decorations, so a frame read
// back is the frame written.
//
// On X11 an application is a process with client windows (a window without _NET_WM_PID stands
// for a process of its own), identified by its desktop-file id when one can be resolved, else
// by its WM_CLASS class; it is regular when it has a normal window shown on the taskbar. The
// permission to move windows is an X11 connection.

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

struct ApplicationRecord
{
    std::optional<QString> bundleIdentifier;
    bool isRegular = false; // has a presence in the taskbar
    qint32 processIdentifier = 0;
    std::optional<QString> localizedName;
    bool isTerminated = false;

    bool operator==(const ApplicationRecord& other) const = default;
};

// One window of the window list, desktop elements excluded.
struct WindowListEntry
{
    qint64 layer = 0; // 0 for normal windows; above 50 for menus, tooltips and overlays
    QString ownerName;
    qint64 number = 0;
    qint32 ownerProcessIdentifier = 0;
    QRectF bounds;
    std::optional<bool> isOnScreen;
    std::optional<double> alpha;
    std::optional<QString> name;

    bool operator==(const WindowListEntry& other) const = default;
};

// A window as an element of its application; two elements are the same window exactly when
// they compare equal.
struct WindowElement
{
    quint64 id = 0;

    bool operator==(const WindowElement& other) const = default;
};

class WindowAccess : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~WindowAccess() override = default;

    virtual QList<ApplicationRecord> runningApplications() const = 0;
    // The running application of that process, if any.
    std::optional<ApplicationRecord> application(qint32 processIdentifier) const
    {
        const QList<ApplicationRecord> applications = runningApplications();
        for (const ApplicationRecord& application : applications) {
            if (application.processIdentifier == processIdentifier) {
                return application;
            }
        }
        return std::nullopt;
    }
    // Nothing when the list cannot be read.
    virtual std::optional<QList<WindowListEntry>> windowList() const = 0;

    // The application's windows; nothing when they cannot be read.
    virtual std::optional<QList<WindowElement>> windows(qint32 processIdentifier) const = 0;
    virtual std::optional<QPointF> position(WindowElement window) const = 0;
    virtual std::optional<QSizeF> size(WindowElement window) const = 0;
    virtual std::optional<QString> title(WindowElement window) const = 0;
    // True when the window accepted the value.
    virtual bool setPosition(WindowElement window, const QPointF& position) = 0;
    virtual bool setSize(WindowElement window, const QSizeF& size) = 0;

    // Whether Norvale may move other applications' windows; prompt asks the system to offer
    // the permission where it can be granted.
    virtual bool isTrusted(bool prompt) = 0;

    // Between these, the window list and the windows' properties may be read once and reused:
    // a placement pass asks for the same windows once per rule. Moves still go to the system
    // and a moved window's frame is read afresh.
    virtual void beginPass() { }
    virtual void endPass() { }

Q_SIGNALS:
    void applicationLaunched(const ApplicationRecord& application);
};
