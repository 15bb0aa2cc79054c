#pragma once

// The tray on a Linux desktop: QSystemTrayIcon, created only once a host exists.
//
// Qt 6.4 chooses between StatusNotifierItem and XEmbed once, at the first use of
// QSystemTrayIcon (isSystemTrayAvailable() included), and never reconsiders. An autostart
// that runs before the desktop's panel would therefore lose the icon for the whole session.
// Until a host exists — a StatusNotifierWatcher with a registered host on the session bus, or
// an owner of the XEmbed selection _NET_SYSTEM_TRAY_S<screen> — this watches for one
// (NameOwnerChanged and the watcher's StatusNotifierHostRegistered; MANAGER client messages
// on the root window) without touching QSystemTrayIcon. Nothing is connected before install().

#include "platform/SystemTray.h"

#include <QPointer>

#include <memory>

class QMenu;
class QSystemTrayIcon;

class LinuxSystemTray final : public SystemTray
{
    Q_OBJECT

public:
    explicit LinuxSystemTray(QObject* parent = nullptr);
    ~LinuxSystemTray() override;

    void install(const QIcon& icon) override;
    void remove() override;
    void setToolTip(const QString& toolTip) override;
    QRect iconGeometry() const override;
    void showMenu(const QList<StatusMenuEntry>& entries, const QPoint& position) override;

    // True once the QSystemTrayIcon exists and is shown.
    bool isShown() const;

    // The menu for the entries (separators, check marks, shortcuts shown as key equivalents,
    // the action run on trigger). Ownership goes to the caller.
    static std::unique_ptr<QMenu> buildMenu(const QList<StatusMenuEntry>& entries);

private:
    class HostWatcher;

    void createTrayIcon();
    void closeMenu();

    std::unique_ptr<HostWatcher> m_watcher;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QMenu> m_menu;
    QIcon m_icon;
    QString m_toolTip;
    bool m_installed = false;
};
