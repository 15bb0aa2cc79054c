#pragma once

// Norvale's icon in the desktop's tray (the status item) and the menu it pops up.
//
// The icon appears once a tray host exists; a host that comes later (an autostart that runs
// before the desktop's panel) still gets it. Clicks arrive as signals: a left click with the
// icon's geometry when the host tells it, a right click (or the host's context-menu request)
// at the pointer. The menu is built from the caller's entries each time it is shown, so check
// marks always show the state of that moment.

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

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

class SystemTray : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~SystemTray() override = default;

    // Shows the icon as soon as a tray host exists (at once when there is one).
    virtual void install(const QIcon& icon) = 0;
    // Removes the icon, closes its menu and stops waiting for a host (termination).
    virtual void remove() = 0;
    virtual void setToolTip(const QString& toolTip) = 0;
    // The icon's geometry in Qt's global coordinates when the host tells it, else null.
    virtual QRect iconGeometry() const = 0;
    // Pops up a menu of the entries at position, closing a menu still open.
    virtual void showMenu(const QList<StatusMenuEntry>& entries, const QPoint& position) = 0;

Q_SIGNALS:
    void leftClicked(const QRect& iconGeometry);
    void contextMenuRequested(const QPoint& position);
    // The icon exists now (a host appeared).
    void shown();
};
