#pragma once

// Other applications' windows on X11 through EWMH. Clients are the window manager's
// _NET_CLIENT_LIST (or, without a window manager, the root's children that carry WM_CLASS);
// an application is the process of a client (_NET_WM_PID; a client without one stands for a
// process of its own, keyed by the negated id of its client leader), named by its desktop
// file when one matches _GTK_APPLICATION_ID or the WM_CLASS, else by the WM_CLASS class.
// The windows of an application are those of all its processes: on X11 one application often
// runs as several (terminals, xlogo), and a rule names the application, not the process.
//
// Frames include the window manager's decorations (_NET_FRAME_EXTENTS). Moves and resizes are
// _NET_MOVERESIZE_WINDOW requests (north-west gravity: the position is the frame's outer
// corner, the size the frame's), or plain configure requests without a window manager; a
// request counts as accepted once the server took it, since the window manager answers
// asynchronously. Layers follow the window type and state the way stacking levels do: normal
// windows 0, kept-above 3, docks 20, menus 101, tooltips and notifications 102.
//
// A launch is a process whose first client appears in the client list.

#include "platform/WindowAccess.h"

#include <QHash>
#include <QSet>

#include <memory>

class X11Connection;

class LinuxWindowAccess final : public WindowAccess
{
    Q_OBJECT

public:
    // ownBundleIdentifier names Norvale's own process.
    explicit LinuxWindowAccess(QString ownBundleIdentifier, QObject* parent = nullptr);
    ~LinuxWindowAccess() override;

    QList<ApplicationRecord> runningApplications() const override;
    std::optional<QList<WindowListEntry>> windowList() const override;
    std::optional<QList<WindowElement>> windows(qint32 processIdentifier) const override;
    std::optional<QPointF> position(WindowElement window) const override;
    std::optional<QSizeF> size(WindowElement window) const override;
    std::optional<QString> title(WindowElement window) const override;
    bool setPosition(WindowElement window, const QPointF& position) override;
    bool setSize(WindowElement window, const QSizeF& size) override;
    bool isTrusted(bool prompt) override;
    void beginPass() override;
    void endPass() override;

    // The layer of a window from its _NET_WM_WINDOW_TYPE and _NET_WM_STATE atom names.
    static qint64 layerFor(const QList<QByteArray>& types, const QList<QByteArray>& states);

private:
    struct Client;
    struct Desktop;
    struct Pass;

    QList<uint32_t> clientWindows() const;
    QList<uint32_t> readClientWindows() const;
    QList<Client> clients() const;
    qint32 processKeyOf(uint32_t window) const;
    // The process and the names that tell the application.
    Client identify(uint32_t window) const;
    Client readIdentity(uint32_t window) const;
    Client describe(uint32_t window) const;
    Client readDescription(uint32_t window) const;
    ApplicationRecord applicationOf(const Client& client) const;
    QList<ApplicationRecord> applications(const QList<Client>& clients) const;
    std::optional<QRectF> frame(uint32_t window) const;
    std::optional<QRectF> readFrame(uint32_t window) const;
    std::array<uint32_t, 4> frameExtents(uint32_t window) const;
    bool hasWindowManager() const;
    bool moveResize(uint32_t window, uint32_t flags, const std::array<int, 4>& geometry);
    void clientListChanged();

    std::shared_ptr<X11Connection> m_x11;
    QString m_ownBundleIdentifier;
    std::unique_ptr<Desktop> m_desktop;
    QSet<qint32> m_knownProcesses;
    // Readings reused while a pass runs.
    std::unique_ptr<Pass> m_pass;
};
