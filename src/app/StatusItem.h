#pragma once

// The tray icon and its menu.
//
// Qt 6.4 chooses between StatusNotifierItem and XEmbed once, at the first use of
// QSystemTrayIcon (isSystemTrayAvailable() included), and never reconsiders. An autostart
// that runs before the desktop's panel would therefore lose the icon for the whole session.
// StatusItem creates the QSystemTrayIcon only once a host exists — a StatusNotifierWatcher
// with a registered host on the session bus, or an owner of the XEmbed selection
// _NET_SYSTEM_TRAY_S<screen> — and until then watches for one (NameOwnerChanged and the
// watcher's StatusNotifierHostRegistered; MANAGER client messages on the root window)
// without touching QSystemTrayIcon.
//
// The menu is built anew from the caller's entries each time it is shown, so check marks
// always show the state of that moment.

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;
class QIcon;

struct StatusMenuEntry
{
    QString title;
    std::optional<bool> checked; // absent: not checkable
    QKeySequence shortcut;
    bool separator = false;
    std::function<void()> action;

    static StatusMenuEntry makeSeparator()
    {
        StatusMenuEntry entry;
        entry.separator = true;
        return entry;
    }
};

class StatusItem final : public QObject
{
    Q_OBJECT

public:
    explicit StatusItem(QObject* parent = nullptr);
    ~StatusItem() override;

    // Starts watching for a tray host and shows the icon as soon as there is one.
    void install();
    // Removes the icon and stops watching (termination).
    void remove();

    void setToolTip(const QString& toolTip);
    QString toolTip() const { return m_toolTip; }

    // True once the QSystemTrayIcon exists and is shown.
    bool isShown() const;
    // The icon's geometry in Qt's global coordinates when the tray tells it (XEmbed); a null
    // rectangle otherwise (StatusNotifierItem hosts do not say where the icon is).
    QRect iconGeometry() const;

    // Builds a menu from the entries and pops it up at position; closes a menu still open.
    void showMenu(const QList<StatusMenuEntry>& entries, const QPoint& position);
    bool isMenuVisible() const;
    void closeMenu();

    // The menu for the entries (separators, check marks, shortcuts shown as key equivalents,
    // the action run on trigger). Ownership goes to the caller.
    static std::unique_ptr<QMenu> buildMenu(const QList<StatusMenuEntry>& entries);
    // The shipped 18 × 18 "N" icon, or the theme's fallback when the resource is missing.
    static QIcon icon();

Q_SIGNALS:
    // Left click on the icon (XEmbed Trigger, StatusNotifierItem Activate).
    void leftClicked(const QRect& iconGeometry);
    // Right click or the host's context-menu request, at the pointer.
    void contextMenuRequested(const QPoint& position);
    // The tray icon was created (a host appeared).
    void shown();

private:
    class HostWatcher;

    void createTrayIcon();

    std::unique_ptr<HostWatcher> m_watcher;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QMenu> m_menu;
    QString m_toolTip;
    bool m_installed = false;
};
